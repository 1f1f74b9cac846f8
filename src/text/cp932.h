// Unicode to Shift-JIS for the text that goes into rows and the page: one mapping of the
// program's own, the same in both builds.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

// The replacement for a character Shift-JIS lacks and for invalid input: "〓" (81 AC).
inline constexpr std::string_view kGetaMark = "\x81\xAC";

// The mapping: a character's Shift-JIS code as glibc "iconv -t CP932" gives it (NEC and IBM
// extension characters included), together with the JIS X 0208 forms that Japanese text
// written elsewhere carries and strict code page 932 lacks (U+301C, U+2212, U+2016, U+00A2,
// U+00A3, U+00AC).

// Whether a character maps to the Shift-JIS code (one byte below 100 hex, else lead byte *
// 100 hex + trail byte).
bool IsSjisCodeAssigned(uint16_t sjis);

// Each double-byte character that code page 932 has under two codes rewritten with the
// code its character maps to (EE E0 becomes FB FC, 87 90 becomes 81 E0), in place: a
// character then has the same bytes whatever code its mail came in. Other bytes stay.
void UnifySjisCodes(std::string& text);

// Appends the character's Shift-JIS form as mapped above: nothing for U+0000 and for the
// tag characters U+E0000 to U+E007F (which only qualify the character before them), "〓"
// for a character without a form.
void AppendSjisChar(std::string& out, char32_t c);

// UTF-8 text in Shift-JIS, character by character as AppendSjisChar. Each invalid sequence
// (a byte that begins no character, a character cut short, an overlong form, a surrogate
// or a value beyond U+10FFFF) becomes one "〓": the longest start of a valid sequence
// counts as one, and the byte that broke it begins the next character. Never fails.
std::string Utf8ToSjisText(std::string_view utf8);

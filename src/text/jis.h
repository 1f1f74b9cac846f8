// 7-bit JIS (ISO-2022-JP) to Shift-JIS. Shared by the mail text conversion and the
// decoding of encoded words in mail headers.
#pragma once
#include <string>
#include <string_view>

// Appends the Shift-JIS form of the JIS X 0208 pair (j1, j2), computed in 8-bit arithmetic
// (30 21 becomes 88 9F).
void AppendJisPairAsSjis(std::string& out, unsigned char j1, unsigned char j2);

// The same pair written at out[0], out[1]: the arithmetic of the whole conversion, kept
// inline so that converting long texts costs a few instructions per pair.
inline void PutJisPairAsSjis(char* out, unsigned char j1, unsigned char j2) {
  out[0] = static_cast<char>(((j1 + 1) >> 1) + (j1 < 0x5F ? 0x70 : 0xB0));
  out[1] = static_cast<char>((j1 & 1) == 0 ? j2 + 0x7E : j2 <= 0x5F ? j2 + 0x1F : j2 + 0x20);
}

// Walks the text with a double-byte mode that starts off. An ESC begins a three-byte
// escape sequence: a second byte "$" switches to double-byte mode, "(" to single-byte mode,
// anything else leaves the mode; the third byte is not examined. Single-byte mode copies
// bytes; double-byte mode converts byte pairs. A tail that cannot be completed (an escape
// sequence cut short, or the first byte of a pair without its second) is dropped.
std::string JisToSjis(std::string_view jis);

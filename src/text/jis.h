// 7-bit JIS (ISO-2022-JP) to Shift-JIS. Shared by the mail text conversion and the
// decoding of encoded words in mail headers.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

// The Shift-JIS form of the JIS X 0208 pair (j1, j2) written at out[0], out[1], computed in
// 8-bit arithmetic (30 21 becomes 88 9F): the first byte is ((j1 + 1) >> 1) + 70 below 5F,
// + B0 from 5F on; the second is j2 + 7E for an even j1, else j2 + 1F up to 5F and j2 + 20
// above. Without branches, so that converting long texts costs a few instructions a pair.
inline void PutJisPairAsSjis(char* out, unsigned char j1, unsigned char j2) {
  const unsigned odd = j1 & 1u;
  out[0] = static_cast<char>(((j1 + 1u) >> 1) + 0x70u + (static_cast<unsigned>(j1 >= 0x5F) << 6));
  out[1] = static_cast<char>(j2 + 0x7Eu - odd * 0x5Fu + (odd & static_cast<unsigned>(j2 > 0x5F)));
}

// The Shift-JIS form of the JIS X 0212 pair (j1, j2) written at out[0], out[1]: the
// double-byte character code page 932 has for it (text/jis0212table.h), else "〓".
void PutJis0212PairAsSjis(char* out, unsigned char j1, unsigned char j2);

// Walks the text with a double-byte mode that starts off. An ESC begins an escape sequence:
// a second byte "$" switches to double-byte mode, "(" to single-byte mode, anything else
// leaves the mode. It is four bytes long when "$" is followed by "(" or ")", naming the
// double-byte set in its fourth byte, else three bytes long, and its third byte is not
// examined. Single-byte mode copies bytes; double-byte mode converts byte pairs: pairs of
// JIS X 0208 (any set but those below) by arithmetic, of JIS X 0213 plane 1 ("Q", "O") the
// same where code page 932 has a character at the result in rows 1 to 84, else "〓"; of
// JIS X 0212 ("D") as PutJis0212PairAsSjis; of JIS X 0213 plane 2 ("P") always "〓". A tail that cannot be
// completed (an escape sequence cut short, or the first byte of a pair without its second)
// is dropped.
std::string JisToSjis(std::string_view jis);

// The same walk from in[0..size) to out, returning the bytes written (never more than
// size). out may be in itself: the output never overtakes the input.
size_t JisToSjisInto(const char* in, size_t size, char* out);

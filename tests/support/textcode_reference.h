// A plain byte-by-byte text-code conversion, written straight from the rules and kept
// slow on purpose: the fast conversion (block copies, in-place writing) must give the same
// bytes for every input. Header-only, so that the fuzz targets use it too.
#pragma once
#include <string>
#include <string_view>

#include "text/cp932.h"
#include "text/jis0212table.h"
#include "text/textcode.h"

namespace testing_support {

inline void AppendReferencePair(std::string& out, int j1, int j2) {
  out += static_cast<char>((((j1 + 1) >> 1) + (j1 < 0x5F ? 0x70 : 0xB0)) & 0xFF);
  out += static_cast<char>((j1 % 2 == 0 ? j2 + 0x7E : j2 <= 0x5F ? j2 + 0x1F : j2 + 0x20) & 0xFF);
}

// A JIS X 0212 pair: the code of its table entry (looked for one by one), else "〓".
inline std::string Reference0212Pair(int j1, int j2) {
  for (size_t i = 0; i < kJis0212PairCount; ++i)
    if (kJis0212Pairs[i].jis == (j1 << 8 | j2)) return {char(kJis0212Pairs[i].sjis >> 8), char(kJis0212Pairs[i].sjis)};
  return std::string(kGetaMark);
}

inline std::string ReferenceJisToSjis(std::string_view text) {
  std::string out;
  bool doubleByte = false;
  char set = 'B';  // the last byte of the double-byte set's escape
  size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == 0x1B) {
      if (i + 3 > text.size()) break;  // a sequence cut short
      if (text[i + 1] == '$') doubleByte = true;
      else if (text[i + 1] == '(') doubleByte = false;
      // ESC $ ( F and ESC $ ) F are four bytes long; any other escape names JIS X 0208.
      const bool fourBytes = text[i + 1] == '$' && (text[i + 2] == '(' || text[i + 2] == ')');
      if (doubleByte) set = fourBytes && i + 4 <= text.size() ? text[i + 3] : 'B';
      i += fourBytes ? 4 : 3;
    } else if (!doubleByte) {
      out += text[i];
      i += 1;
    } else {
      if (i + 2 > text.size()) break;  // half a pair
      // JIS X 0212 (D) by its table; JIS X 0213 keeps the code of its place where code page 932
      // has a character there, plane 1 (Q, O) in rows 1 to 84, plane 2 (P) never.
      const auto c2 = static_cast<unsigned char>(text[i + 1]);
      std::string pair;
      AppendReferencePair(pair, c, c2);
      const bool inPlane1 = c >= 0x21 && c <= 0x74 && c2 >= 0x21 && c2 <= 0x7E &&
                            IsSjisCodeAssigned(uint16_t(uint8_t(pair[0]) << 8 | uint8_t(pair[1])));
      if (set == 'D') pair = Reference0212Pair(c, c2);
      else if (set == 'P' || ((set == 'Q' || set == 'O') && !inPlane1)) pair = kGetaMark;
      out += pair;
      i += 2;
    }
  }
  return out;
}

inline std::string ReferenceEucToSjis(std::string_view text) {
  std::string out;
  size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c <= 0x80 || c == 0xFF) {
      out += text[i];
      i += 1;
    } else if (i + 2 > text.size()) {
      break;  // a lead byte without its follower
    } else if (c == 0x8E) {
      out += text[i + 1];
      i += 2;
    } else if (c == 0x8F) {
      if (i + 3 > text.size()) break;  // a JIS X 0212 pair cut short
      out += Reference0212Pair(text[i + 1] & 0x7F, text[i + 2] & 0x7F);
      i += 3;
    } else {
      AppendReferencePair(out, c & 0x7F, static_cast<unsigned char>(text[i + 1]) & 0x7F);
      i += 2;
    }
  }
  return out;
}

// ConvertCode's result by the slow route (detection is shared).
inline std::string ReferenceConvertCode(std::string_view text, int target) {
  const int code = DetectCode(text);
  if (target != kCodeSjis) return std::string(text);
  if (code == kCodeJisB || code == kCodeJisAt) return ReferenceJisToSjis(text);
  if (code == kCodeEuc) return ReferenceEucToSjis(text);
  return std::string(text);
}

}  // namespace testing_support

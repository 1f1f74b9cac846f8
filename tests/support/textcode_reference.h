// A plain byte-by-byte text-code conversion, written straight from the rules and kept
// slow on purpose: the fast conversion (block copies, in-place writing) must give the same
// bytes for every input. Header-only, so that the fuzz targets use it too.
#pragma once
#include <string>
#include <string_view>

#include "text/textcode.h"

namespace testing_support {

inline void AppendReferencePair(std::string& out, int j1, int j2) {
  out += static_cast<char>((((j1 + 1) >> 1) + (j1 < 0x5F ? 0x70 : 0xB0)) & 0xFF);
  out += static_cast<char>((j1 % 2 == 0 ? j2 + 0x7E : j2 <= 0x5F ? j2 + 0x1F : j2 + 0x20) & 0xFF);
}

inline std::string ReferenceJisToSjis(std::string_view text) {
  std::string out;
  bool doubleByte = false;
  size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == 0x1B) {
      if (i + 3 > text.size()) break;  // a sequence cut short
      if (text[i + 1] == '$') doubleByte = true;
      else if (text[i + 1] == '(') doubleByte = false;
      i += 3;
    } else if (!doubleByte) {
      out += text[i];
      i += 1;
    } else {
      if (i + 2 > text.size()) break;  // half a pair
      AppendReferencePair(out, c, static_cast<unsigned char>(text[i + 1]));
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

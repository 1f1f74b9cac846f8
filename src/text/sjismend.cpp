#include "text/sjismend.h"

#include "text/cp932.h"
#include "text/sjissearch.h"

namespace {

bool IsSjisTrailByte(unsigned char c) { return c >= 0x40 && c <= 0xFC && c != 0x7F; }

// The position of the first lone lead byte from `from` on, or the text's size.
size_t NextLoneLeadByte(const std::string& text, size_t from) {
  for (size_t i = from; i < text.size(); ++i) {
    if (!IsSjisLeadByte(static_cast<unsigned char>(text[i]))) continue;
    if (i + 1 == text.size() || !IsSjisTrailByte(static_cast<unsigned char>(text[i + 1]))) return i;
    ++i;
  }
  return text.size();
}

}  // namespace

void ReplaceLoneLeadBytes(std::string& text) {
  size_t lone = NextLoneLeadByte(text, 0);
  if (lone == text.size()) return;  // the usual case: nothing is copied
  std::string mended;
  mended.reserve(text.size() + 16);
  size_t from = 0;
  while (lone < text.size()) {
    mended.append(text, from, lone - from);
    mended += kGetaMark;
    from = lone + 1;
    lone = NextLoneLeadByte(text, from);
  }
  mended.append(text, from, std::string::npos);
  text = std::move(mended);
}

#include "text/jis.h"

void AppendJisPairAsSjis(std::string& out, unsigned char j1, unsigned char j2) {
  unsigned char s1 = static_cast<unsigned char>(((j1 + 1) >> 1) + (j1 < 0x5F ? 0x70 : 0xB0));
  unsigned char s2;
  if (j1 % 2 == 0) s2 = static_cast<unsigned char>(j2 + 0x7E);
  else s2 = static_cast<unsigned char>(j2 <= 0x5F ? j2 + 0x1F : j2 + 0x20);
  out += static_cast<char>(s1);
  out += static_cast<char>(s2);
}

std::string JisToSjis(std::string_view jis) {
  std::string out;
  out.reserve(jis.size());
  bool doubleByte = false;
  size_t i = 0;
  const size_t n = jis.size();
  while (i < n) {
    unsigned char c = static_cast<unsigned char>(jis[i]);
    if (c == 0x1B) {
      if (i + 1 < n) {
        if (jis[i + 1] == '$') doubleByte = true;
        else if (jis[i + 1] == '(') doubleByte = false;
      }
      i += 3;
    } else if (!doubleByte) {
      out += static_cast<char>(c);
      ++i;
    } else {
      if (i + 1 >= n) break;  // half a character: nothing to show for it
      AppendJisPairAsSjis(out, c, static_cast<unsigned char>(jis[i + 1]));
      i += 2;
    }
  }
  return out;
}

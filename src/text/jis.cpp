#include "text/jis.h"

#include <algorithm>
#include <cstring>

void AppendJisPairAsSjis(std::string& out, unsigned char j1, unsigned char j2) {
  char pair[2];
  PutJisPairAsSjis(pair, j1, j2);
  out.append(pair, 2);
}

std::string JisToSjis(std::string_view jis) {
  // Shift-JIS is never longer than the JIS it comes from: the output is written in place
  // into storage of the input's size and cut to its length at the end.
  std::string out(jis.size(), '\0');
  char* const begin = out.data();
  char* o = begin;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(jis.data());
  const unsigned char* const end = p + jis.size();
  bool doubleByte = false;
  while (p < end) {
    if (*p == 0x1B) {
      if (p + 1 < end) {
        if (p[1] == '$') doubleByte = true;
        else if (p[1] == '(') doubleByte = false;
      }
      p += std::min<size_t>(3, static_cast<size_t>(end - p));
    } else if (!doubleByte) {
      // A run of single bytes up to the next escape, copied at once.
      const void* esc = std::memchr(p, 0x1B, static_cast<size_t>(end - p));
      const unsigned char* stop = esc ? static_cast<const unsigned char*>(esc) : end;
      std::memcpy(o, p, static_cast<size_t>(stop - p));
      o += stop - p;
      p = stop;
    } else {
      while (p + 1 < end && *p != 0x1B) {
        PutJisPairAsSjis(o, p[0], p[1]);
        o += 2;
        p += 2;
      }
      if (p + 1 >= end && p < end && *p != 0x1B) break;  // half a character: dropped
    }
  }
  out.resize(static_cast<size_t>(o - begin));
  return out;
}

#include "text/jis.h"

#include "text/wordscan.h"

size_t JisToSjisInto(const char* in, size_t size, char* out) {
  const char* p = in;
  const char* const end = in + size;
  char* o = out;
  bool doubleByte = false;
  for (;;) {
    if (!doubleByte) {
      // Single bytes up to the next escape, eight at a time.
      CopyUnmarkedWords(p, end, o, [](uint64_t word) { return BytesEqualMask(word, 0x1B); });
      while (p < end && *p != '\x1B') *o++ = *p++;
    } else {
      for (;;) {
        // Four pairs at a time while no escape is near; an ESC as a pair's second byte also
        // stops the block loop, and the pair loop below takes it as data.
        while (end - p >= 8 && BytesEqualMask(LoadWord(p), 0x1B) == 0) {
          for (int i = 0; i < 8; i += 2)
            PutJisPairAsSjis(o + i, static_cast<unsigned char>(p[i]), static_cast<unsigned char>(p[i + 1]));
          o += 8;
          p += 8;
        }
        if (end - p < 2 || *p == '\x1B') break;
        PutJisPairAsSjis(o, static_cast<unsigned char>(p[0]), static_cast<unsigned char>(p[1]));
        o += 2;
        p += 2;
      }
    }
    if (p == end || *p != '\x1B') break;  // the end, or half a pair: dropped
    if (end - p >= 2) {
      if (p[1] == '$') doubleByte = true;
      else if (p[1] == '(') doubleByte = false;
    }
    p += end - p < 3 ? end - p : 3;
  }
  return static_cast<size_t>(o - out);
}

std::string JisToSjis(std::string_view jis) {
  std::string out(jis);
  out.resize(JisToSjisInto(out.data(), out.size(), out.data()));
  return out;
}

#include "text/jis.h"

#include <algorithm>

#include "text/cp932.h"
#include "text/jis0212table.h"
#include "text/wordscan.h"

namespace {

// The character set of the double-byte mode, from the last byte of its escape sequence.
enum class TKanjiSet {
  kJis0208,        // ESC $ B, ESC $ @ and every other
  kJis0213Plane1,  // ESC $ ( Q and ESC $ ( O: JIS X 0208 with more characters in its gaps
  kJis0212,        // ESC $ ( D: the supplementary kanji
  kWithoutSjis,    // ESC $ ( P: JIS X 0213 plane 2
};

TKanjiSet KanjiSetOf(char final) {
  if (final == 'Q' || final == 'O') return TKanjiSet::kJis0213Plane1;
  if (final == 'D') return TKanjiSet::kJis0212;
  if (final == 'P') return TKanjiSet::kWithoutSjis;
  return TKanjiSet::kJis0208;
}

// A pair of a set beyond JIS X 0208: JIS X 0212 by its table; the others their Shift-JIS
// form where code page 932 has the same character there, else "〓". Plane 1 of JIS X 0213 keeps JIS X 0208's places and NEC's
// row 13; its additions in other gaps and its rows 85 to 94 (code page 932's user-defined
// and IBM rows, other characters there) have no Shift-JIS form.
void PutOtherPair(char* out, TKanjiSet set, unsigned char j1, unsigned char j2) {
  if (set == TKanjiSet::kJis0212) {
    PutJis0212PairAsSjis(out, j1, j2);
    return;
  }
  PutJisPairAsSjis(out, j1, j2);
  const auto lead = static_cast<unsigned char>(out[0]);
  const uint16_t sjis = static_cast<uint16_t>(lead << 8 | static_cast<unsigned char>(out[1]));
  const bool kept = set == TKanjiSet::kJis0213Plane1 && j1 >= 0x21 && j1 <= 0x74 && j2 >= 0x21 && j2 <= 0x7E &&
                    IsSjisCodeAssigned(sjis);
  if (!kept) {
    out[0] = kGetaMark[0];
    out[1] = kGetaMark[1];
  }
}

}  // namespace

void PutJis0212PairAsSjis(char* out, unsigned char j1, unsigned char j2) {
  const auto jis = static_cast<uint16_t>(j1 << 8 | j2);
  const TJis0212Pair* const end = kJis0212Pairs + kJis0212PairCount;
  const TJis0212Pair* found =
      std::lower_bound(kJis0212Pairs, end, jis, [](const TJis0212Pair& pair, uint16_t j) { return pair.jis < j; });
  if (found == end || found->jis != jis) {
    out[0] = kGetaMark[0];
    out[1] = kGetaMark[1];
    return;
  }
  out[0] = static_cast<char>(found->sjis >> 8);
  out[1] = static_cast<char>(found->sjis & 0xFF);
}

size_t JisToSjisInto(const char* in, size_t size, char* out) {
  const char* p = in;
  const char* const end = in + size;
  char* o = out;
  bool doubleByte = false;
  TKanjiSet set = TKanjiSet::kJis0208;
  for (;;) {
    if (!doubleByte) {
      // Single bytes up to the next escape, eight at a time.
      CopyUnmarkedWords(p, end, o, [](uint64_t word) { return BytesEqualMask(word, 0x1B); });
      while (p < end && *p != '\x1B') *o++ = *p++;
    } else {
      while (set != TKanjiSet::kJis0208 && end - p >= 2 && *p != '\x1B') {
        PutOtherPair(o, set, static_cast<unsigned char>(p[0]), static_cast<unsigned char>(p[1]));
        o += 2;
        p += 2;
      }
      while (set == TKanjiSet::kJis0208) {
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
    // ESC $ ( F and ESC $ ) F name a double-byte set in four bytes, the others in three.
    const bool fourBytes = end - p >= 3 && p[1] == '$' && (p[2] == '(' || p[2] == ')');
    if (doubleByte) set = fourBytes && end - p >= 4 ? KanjiSetOf(p[3]) : TKanjiSet::kJis0208;
    const ptrdiff_t length = fourBytes ? 4 : 3;
    p += end - p < length ? end - p : length;
  }
  return static_cast<size_t>(o - out);
}

std::string JisToSjis(std::string_view jis) {
  std::string out(jis);
  out.resize(JisToSjisInto(out.data(), out.size(), out.data()));
  return out;
}

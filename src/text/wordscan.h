// Eight bytes at a time: the block tests of the text conversions' copy loops.
#pragma once
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

static_assert(std::endian::native == std::endian::little, "the first byte is the low byte");

inline uint64_t LoadWord(const char* p) {
  uint64_t word;
  std::memcpy(&word, p, 8);
  return word;
}

inline void StoreWord(char* p, uint64_t word) { std::memcpy(p, &word, 8); }

// A mask with the top bit set at each byte of the word equal to value: exact at the first
// such byte (a borrow may mark bytes after it as well), zero when there is none.
inline uint64_t BytesEqualMask(uint64_t word, unsigned char value) {
  constexpr uint64_t kOnes = 0x0101010101010101u;
  const uint64_t x = word ^ (kOnes * value);
  return (x - kOnes) & ~x & (kOnes << 7);
}

// The bytes of the word with their top bit set.
inline uint64_t HighBitMask(uint64_t word) { return word & 0x8080808080808080u; }

// The index (0 to 7) of the first byte marked in a non-zero mask.
inline size_t FirstMarkedByte(uint64_t mask) { return static_cast<size_t>(std::countr_zero(mask)) / 8; }

// Copies p to o eight bytes at a time while mark(word) marks none of them, then the bytes
// before the first marked one, and stops there or with fewer than eight bytes left before
// end. o may lag p in the same storage: a word is stored only after it was loaded whole.
template <class Mark>
inline void CopyUnmarkedWords(const char*& p, const char* end, char*& o, Mark mark) {
  while (end - p >= 8) {
    const uint64_t word = LoadWord(p);
    const uint64_t marked = mark(word);
    if (marked != 0) {
      const size_t k = FirstMarkedByte(marked);
      for (size_t i = 0; i < k; ++i) o[i] = p[i];
      o += k;
      p += k;
      return;
    }
    StoreWord(o, word);
    o += 8;
    p += 8;
  }
}

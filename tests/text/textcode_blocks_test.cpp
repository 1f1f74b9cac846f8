// The conversion's block loops (eight bytes at a time, in place or into fresh storage)
// against the plain byte-by-byte conversion, on texts cut at every length and shifted
// against the eight-byte blocks.
#include <gtest/gtest.h>

#include <string>

#include "support/textcode_reference.h"
#include "support/testing.h"
#include "text/jis.h"
#include "text/textcode.h"

namespace {

using namespace std::string_literals;
using testing_support::ReferenceConvertCode;
using testing_support::ReferenceJisToSjis;
using testing_support::Show;

struct BlockCase {
  const char* what;
  std::string text;
};

const BlockCase kCases[] = {
    {"JIS: runs of each length, every escape form",
     "ab\x1B$B0!$\"4A;z%E%J\x1B(Bxyz12345678\x1B$@4A\x1B(J\r\n"
     "\x1B$B0!0\"0#0$0%0&0'0(0)0*\x1B(I1234\x1B(B\x1B.Aq\x1B$B0!\x1B(B\r\n"s},
    {"JIS: an ESC as a pair's second byte, 8-bit bytes in pairs",
     "\x1B$B0\x1B\x80\xFE\xA1\xA1\x7F\x7F\x21\x7E\x5E\x60\x5F\x5F\x1B(Bend\r\n"s},
    {"JIS: long runs", "\x1B$B" + std::string(40, '0') + "\x1B(B" + std::string(40, 'x') +
                           "\x1B$B" + std::string(17, '!') + "\x1B(B\r\n"},
    {"JIS: escapes back to back", "\x1B$B\x1B(B\x1B$B\x1B$@0!\x1B(B\x1B(B\x1B$B\r\n"s},
    {"EUC: pairs, half-width katakana, 80, long runs",
     "\xB4\xC1\xBB\xFA" "a\x8E\xB1\x80" "0123456789"
     "\xB0\xA1\xB0\xA2\xB0\xA3\xB0\xA4\xB0\xA5\x8E\xDF\xB0\xA6xy\x8E\xB6\xA1\xA1\r\n"s},
    {"EUC: FF past the pre-scan, lead bytes before ASCII",
     "\xB4\xC1\xBB\xFA" + std::string(520, 'a') + "\xFF\xB4\xC1\xFF\xB4" "a\xFE\x41\r\n"},
    {"JIS X 0212 among JIS X 0208 pairs",
     "a\x1B$(D\x30\x29\x22\x71\x30\x21\x1B$B0!\x1B$(D\x45\x27\x1B(Bz\r\n"s},
    {"EUC: JIS X 0212 (8F) among pairs and katakana",
     "\xB4\xC1\xBB\xFA\x8F\xB0\xA9\xB0\xA1\x8F\xA2\xF1\x8F\xB0\xA1" "a\x8E\xB1\x8F\xC5\xA7\r\n"s},
    {"Shift-JIS passes", "\x82\xA0\x88\x9F" "abcdefgh\x1B$B0!\r\n"s},
};

TEST(ConvertCodeBlocks, SameAsTheByteByByteConversion) {
  for (const BlockCase& c : kCases) {
    for (size_t shift = 0; shift < 9; ++shift) {
      const std::string whole = std::string(shift, 'a') + c.text;
      for (size_t length = 0; length <= whole.size(); ++length) {
        const std::string text = whole.substr(0, length);
        const std::string expected = ReferenceConvertCode(text, kCodeSjis);
        const std::string fresh = ConvertCode(text, kCodeSjis);
        std::string inPlace = text;
        ConvertCodeInPlace(inPlace, kCodeSjis);
        ASSERT_EQ(fresh, expected) << c.what << ", shift " << shift << ", length " << length
                                   << ": " << Show(text);
        ASSERT_EQ(inPlace, expected) << c.what << " in place, shift " << shift << ", length "
                                     << length;
        ASSERT_EQ(JisToSjis(text), ReferenceJisToSjis(text)) << c.what << ", length " << length;
      }
    }
  }
}

// Every byte pair, not only JIS X 0208's: hostile text reaches the arithmetic with any bytes.
TEST(ConvertCodeBlocks, PairArithmeticForEveryPair) {
  for (int j1 = 0; j1 < 256; ++j1) {
    for (int j2 = 0; j2 < 256; ++j2) {
      char got[2];
      PutJisPairAsSjis(got, static_cast<unsigned char>(j1), static_cast<unsigned char>(j2));
      std::string expected;
      testing_support::AppendReferencePair(expected, j1, j2);
      ASSERT_EQ(std::string(got, 2), expected) << "pair " << j1 << " " << j2;
    }
  }
}

// Large texts take the fresh-storage path that asks for large pages; the result is the same.
TEST(ConvertCodeBlocks, LargeTexts) {
  const std::string lines[] = {"\x1B$B4A;z\x1B(B item 1980\r\n", "\xB4\xC1\xBB\xFA item 1980\r\n",
                               "\x8A\xBF\x8E\x9A item 1980\r\n"};
  for (const std::string& line : lines) {
    std::string text;
    while (text.size() < (size_t{5} << 20)) text += line;
    const std::string expected = ReferenceConvertCode(text, kCodeSjis);
    EXPECT_EQ(ConvertCode(text, kCodeSjis), expected) << Show(line);
    ConvertCodeInPlace(text, kCodeSjis);
    EXPECT_EQ(text, expected) << Show(line);
  }
}

}  // namespace

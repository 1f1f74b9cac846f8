#include <gtest/gtest.h>

#include <string>

#include "text/textcode.h"

namespace {

using namespace std::string_literals;

struct DetectCase {
  const char* what;
  std::string text;
  int code;
};

TEST(DetectCode, FollowsEachRule) {
  const DetectCase cases[] = {
      {"plain ASCII", "Order 123\r\n", 0},
      {"empty", "", 0},
      {"ESC $ B", "\x1B$B0!\x1B(B\r\n", 2},
      {"ESC $ @", "\x1B$@0!\x1B(B\r\n", 3},
      {"ESC ( B alone decides nothing", "a\x1B(Bb\r\n", 0},
      {"ESC $ A is no kanji escape", "\x1B$A0!\r\n", 0},
      {"Shift-JIS lead 82", "\x82\xA0\r\n", 5},
      {"Shift-JIS lead 88", "\x88\x9F\r\n", 5},
      {"8E then 40..7E", "\x8E\x40\r\n", 5},
      {"8E then E0..FC", "\x8E\xE5\r\n", 5},
      {"8E then half-width katakana", "\x8E\xB1\r\n", 6},
      {"8E then FD decides nothing", "\x8E\xFD\r\n", 0},
      {"EUC hiragana A4 A2 undecided", "\xA4\xA2\r\n", 6},
      {"A1..DF then F0..FE", "\xB0\xF0\r\n", 4},
      {"A1..DF then a byte up to 9F", "\xB1\x41\r\n", 5},
      {"A1..DF then A0 decides nothing", "\xB1\xA0\r\n", 0},
      {"A1..DF E0..EF, run ends undecided", "\xB0\xE0\x41\xE5\r\n", 6},
      {"A1..DF E0..EF, run finds 88", "\xB0\xE0\x41\x42\x88\x9F\r\n", 5},
      {"A1..DF E0..EF, run finds FD", "\xB0\xE0\x41\xFD\r\n", 4},
      // The byte that ends the run is passed over: this ESC $ B is never seen.
      {"byte ending the run passed over", "\xB0\xE0\x1B$B\r\n", 6},
      {"F0..FE", "\xF0\xA1\r\n", 4},
      {"E0..EF then 40", "\xE0\x40\r\n", 5},
      {"E0..EF then FD", "\xE0\xFD\r\n", 4},
      {"E0..EF then A1", "\xE0\xA1\r\n", 6},
      {"E0..EF then a control byte", "\xE0\x20\r\n", 0},
      {"80 and A0 decide nothing", "\x80\xA0\r\n", 0},
      {"undecided, then decided later", "\xA4\xA2\xA4\xA4\x82\xA0\r\n", 5},
      {"first decision wins", "\x1B$B0!\x1B(B\xB0\xF0\r\n", 2},
      {"first decision wins over JIS", "\x82\xA0\x1B$B0!\x1B(B\r\n", 5},
  };
  for (const auto& c : cases) EXPECT_EQ(DetectCode(c.text), c.code) << c.what;
}

TEST(DetectCode, BinaryBytes) {
  EXPECT_EQ(DetectCode("ab\x05" "cd\r\n"), 1);
  EXPECT_EQ(DetectCode("ab\xFF" "cd\r\n"), 1);
  // Past the 512-byte pre-scan the main scan still sees a binary byte ...
  std::string late = std::string(600, 'a') + "\x05\r\n";
  EXPECT_EQ(DetectCode(late), 1);
  // ... but only while nothing was decided before it.
  std::string decided = "\x82\xA0" + std::string(600, 'a') + "\x05\r\n";
  EXPECT_EQ(DetectCode(decided), 5);
  // The pre-scan catches it even after a decision, within its 512 bytes.
  EXPECT_EQ(DetectCode("\x82\xA0\x05\r\n"s), 1);
}

// Texts that end inside a construct: nothing past the end is read (a bounds-checked or
// sanitizer build stops on such a read), and the result is the code before it.
TEST(DetectCode, TextEndingInsideAConstruct) {
  EXPECT_EQ(DetectCode("\x1B"), 0);
  EXPECT_EQ(DetectCode("\x1B$"), 0);
  EXPECT_EQ(DetectCode("a\x1B$"), 0);
  EXPECT_EQ(DetectCode("\x1B$B"), 2);
  EXPECT_EQ(DetectCode("\x8E"), 0);
  EXPECT_EQ(DetectCode("a\x8E"), 0);
  EXPECT_EQ(DetectCode("\xA4\xA2"), 6);
  EXPECT_EQ(DetectCode("\xB0\xE0"), 6);
  EXPECT_EQ(DetectCode("\xB0\xE0\x41\x42"), 6);
  EXPECT_EQ(DetectCode("\xE0"), 0);
  // The last byte alone is not examined.
  EXPECT_EQ(DetectCode("a\x05"), 0);
}

TEST(ConvertCode, JisToShiftJis) {
  // "漢字" in JIS and in Shift-JIS.
  EXPECT_EQ(ConvertCode("\x1B$B\x34\x41\x3B\x7A\x1B(B\r\n", 5), "\x8A\xBF\x8E\x9A\r\n");
  EXPECT_EQ(ConvertCode("\x1B$@\x34\x41\x3B\x7A\x1B(J\r\n", 5), "\x8A\xBF\x8E\x9A\r\n");
  // 30 21 and 24 22; j1 above 5F uses the upper lead range.
  EXPECT_EQ(ConvertCode("a\x1B$B\x30\x21\x24\x22\x60\x21\x1B(Bz\r\n", 5),
            "a\x88\x9F\x82\xA0\xE0\x9F" "z\r\n");
  // ESC ( I: JIS X 0201 katakana stay 7-bit single bytes.
  EXPECT_EQ(ConvertCode("\x1B$B\x34\x41\x1B(I\x31\x32\x1B(B\r\n", 5), "\x8A\xBF\x31\x32\r\n");
  // An escape with another second byte leaves the mode as it was.
  EXPECT_EQ(ConvertCode("\x1B$B\x30\x21\x1B.A\x30\x21\x1B(B\r\n", 5), "\x88\x9F\x88\x9F\r\n");
}

TEST(ConvertCode, EucToShiftJis) {
  EXPECT_EQ(ConvertCode("\xB4\xC1\xBB\xFA\r\n", 5), "\x8A\xBF\x8E\x9A\r\n");
  // Half-width katakana (8E xx) keep their byte; ASCII, 80 and FF are copied.
  EXPECT_EQ(ConvertCode("a\xB4\xC1\x8E\xB1\xBB\xFA\x80z\r\n", 5),
            "a\x8A\xBF\xB1\x8E\x9A\x80z\r\n");
}

TEST(ConvertCode, PassesWhatNeedsNoConversion) {
  const std::string texts[] = {
      "Order 123\r\n",                        // ASCII
      "ab\x05\x1B$B0!\r\n",                   // binary
      "\xA4\xA2\r\n",                         // undecided
      "\x82\xA0\x88\x9F\r\n",                 // Shift-JIS
      "\x8A\xBF\x8E\x9A\r\n",                 // Shift-JIS
      std::string(600, 'a') + "\x05\x1B$B0!", // binary beyond the pre-scan
  };
  for (const auto& t : texts) EXPECT_EQ(ConvertCode(t, 5), t);
  // Other targets are not offered: the text comes back as it is.
  EXPECT_EQ(ConvertCode("\x1B$B0!\x1B(B\r\n", 4), "\x1B$B0!\x1B(B\r\n");
}

// The tail of a text that ends inside a construct is dropped.
TEST(ConvertCode, IncompleteTailIsDropped) {
  EXPECT_EQ(ConvertCode("\x1B$B\x30\x21\x30", 5), "\x88\x9F");
  EXPECT_EQ(ConvertCode("\x1B$B\x30\x21\x1B", 5), "\x88\x9F");
  EXPECT_EQ(ConvertCode("\x1B$B\x30\x21\x1B$", 5), "\x88\x9F");
  EXPECT_EQ(ConvertCode("\x1B$B\x30\x21\x1B(", 5), "\x88\x9F");
  EXPECT_EQ(ConvertCode("\x1B$B", 5), "");
  EXPECT_EQ(ConvertCode("\xB4\xC1\xBB\xFA\xB4", 5), "\x8A\xBF\x8E\x9A");
  EXPECT_EQ(ConvertCode("\xB4\xC1\xBB\xFA\x8E", 5), "\x8A\xBF\x8E\x9A");
}

}  // namespace

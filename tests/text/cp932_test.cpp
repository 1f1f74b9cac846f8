#include <gtest/gtest.h>

#include <string>

#include "base/sjisliteral.h"
#include "platform/codepage.h"
#include "support/testing.h"
#include "text/cp932.h"

namespace {

using testing_support::Show;

// glibc iconv is the peer: every character of the basic plane converted in one call, one
// Shift-JIS character (or "?" for a character it refuses) per input character.
TEST(Cp932Mapping, AgreesWithIconvOnEveryCharacterItMaps) {
#ifdef _WIN32
  GTEST_SKIP() << "the peer is glibc iconv; Windows' conversion fits characters it lacks";
#else
  auto Sjis1 = [](char32_t c) {
    std::string out;
    AppendSjisChar(out, c);
    return out;
  };
  auto IsLead = [](unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); };
  std::u16string plane;
  for (char32_t c = 0; c < 0x10000; ++c)
    if (c < 0xD800 || c > 0xDFFF) plane.push_back(static_cast<char16_t>(c));
  const std::string peer = platform::Utf16ToCp932(plane);
  size_t at = 0, mapped = 0;
  for (char16_t u : plane) {
    ASSERT_LT(at, peer.size());
    const size_t width = IsLead(static_cast<unsigned char>(peer[at])) ? 2 : 1;
    const std::string theirs = peer.substr(at, width);
    at += width;
    if (theirs == "?" && u != u'?') {
      EXPECT_EQ(Sjis1(u), "\x81\xAC") << std::hex << static_cast<unsigned>(u);
      continue;
    }
    ++mapped;
    // U+0000 maps to 00, which mail text drops.
    EXPECT_EQ(Sjis1(u), u == 0 ? "" : theirs) << std::hex << static_cast<unsigned>(u);
  }
  EXPECT_EQ(at, peer.size());
  EXPECT_GT(mapped, 9000u);  // the mapping was read, not refused wholesale

  // Beyond the basic plane iconv maps nothing, and writes nothing for the tag characters;
  // each surrogate of a refused character is one "?". (A sample of the planes with every
  // tag character: iconv takes long over each character it refuses.)
  std::u16string beyond;
  std::string expectedBeyond;
  for (char32_t c = 0x10000; c <= 0x10FFFF; c += c >= 0xDFF80 && c < 0xE0080 ? 1 : 0x3FF) {
    beyond.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
    beyond.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    const bool tag = c >= 0xE0000 && c <= 0xE007F;
    expectedBeyond += tag ? "" : "??";
    EXPECT_EQ(Sjis1(c), tag ? "" : "\x81\xAC") << std::hex << static_cast<unsigned>(c);
  }
  EXPECT_EQ(platform::Utf16ToCp932(beyond), expectedBeyond);
#endif
}

TEST(UnifySjisCodes, EachCharacterKeepsTheCodeItsUnicodeMapsTo) {
  struct Case {
    std::string in, out;
  };
  const Case cases[] = {
      {"\xEE\xE0", "\xFB\xFC"},                  // 髙, NEC's selection of IBM's characters
      {"\xED\x40\xFA\x5C", "\xFA\x5C\xFA\x5C"},  // 纊 both ways
      {"\x87\x90\x81\xE0", "\x81\xE0\x81\xE0"},  // ≒ in row 13 and row 2
      {"\x87\x40\xFB\xFC\x81\xAC", "\x87\x40\xFB\xFC\x81\xAC"},  // only one code: stays
      // A trail byte that looks like a lead byte is never read as one.
      {"\x81\xEE\xE0", "\x81\xEE\xE0"},
      {"\xEE", "\xEE"},
      {"a\xED", "a\xED"},
  };
  for (const Case& c : cases) {
    std::string text = c.in;
    UnifySjisCodes(text);
    EXPECT_EQ(Show(text), Show(c.out)) << Show(c.in);
  }
}

}  // namespace

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mail/encodedword.h"
#include "mail/mimedecoder.h"
#include "base/netexceptions.h"
#include "mail/transferdecoders.h"

namespace {

// Decodes the input in one piece and again one byte at a time: a streaming decoder must give
// the same bytes however its input is cut.
std::string DecodeBothWays(TNetCoder& decoder, const std::string& input) {
  std::string whole;
  decoder.Decode(input, whole);
  decoder.Finish(whole);
  std::string bytewise;
  for (char c : input) decoder.Decode(std::string_view(&c, 1), bytewise);
  decoder.Finish(bytewise);
  EXPECT_EQ(whole, bytewise) << "input cut into single bytes decodes differently: " << input;
  return whole;
}

TEST(QuotedPrintable, DecodesEscapesAndSoftBreaks) {
  const struct {
    std::string in, out;
  } cases[] = {
      {"=1B$B4A;z=1B(B\r\n", "\x1B$B4A;z\x1B(B\r\n"},
      {"=3d=3D=e9\r\n", "==\xE9\r\n"},  // either case
      {"soft=\r\nbreak\r\n", "softbreak\r\n"},
      {"=ZZ and =4 kept\r\n", "=ZZ and =4 kept\r\n"},  // "=" and two other characters
      {"a=\rb\r\n", "a=\rb\r\n"},                      // CR without LF is no soft break
      {"trailing blanks  \r\n", "trailing blanks  \r\n"},
      {"end=", "end"},    // a pending "=" is dropped
      {"end=4", "end4"},  // one pending character is kept
      {"", ""},
  };
  TNetQuotedPrintableDecoder qp;
  for (const auto& c : cases) EXPECT_EQ(DecodeBothWays(qp, c.in), c.out) << c.in;
}

TEST(Base64, DecodesGroupsPaddingAndLineBreaks) {
  const struct {
    std::string in, out;
  } cases[] = {
      {"GyRCNEE7ehsoQg0K\r\nbGluZTINCg==\r\n", "\x1B$B4A;z\x1B(B\r\nline2\r\n"},
      {"QUJD", "ABC"},
      {"QUI=", "AB"},
      {"QQ==\r\n", "A"},
      {"QUI", "AB"},  // a last group of three characters without padding
      {"QQ", "A"},
      {"Q", ""},
      {"+/+/", "\xFB\xFF\xBF"},
      {"", ""},
  };
  TNetBase64Decoder b64;
  for (const auto& c : cases) EXPECT_EQ(DecodeBothWays(b64, c.in), c.out) << c.in;
}

TEST(Base64, CharactersOutsideTheAlphabetAreSkipped) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"QU*D", "A@"},  // "QUD": three characters give two bytes
      {"QU JD", "ABC"},
      {"QUJD\x80", "ABC"},
      {"Q\tU\x01J\xFF" "D", "ABC"},
      {"QQ==QUJD", "AABC"},  // pieces encoded one by one and joined
      {"QQ=\r\nQUJD", "AABC"},
      {"====", ""},
  };
  TNetBase64Decoder b64;
  for (const auto& c : cases) EXPECT_EQ(DecodeBothWays(b64, c.in), c.out) << c.in;
}

TEST(TransferDecoderChoice, ByEncodingNameWithoutRegardToCase) {
  std::string out;
  MakeTransferDecoder("BASE64")->Decode("QUJD", out);
  MakeTransferDecoder(" base64 ; x")->Decode("QUJD", out);
  MakeTransferDecoder("Quoted-Printable")->Decode("=41", out);
  MakeTransferDecoder("7bit")->Decode("=41", out);
  MakeTransferDecoder("x-unknown")->Decode("QUJD", out);
  MakeTransferDecoder("")->Decode(".", out);
  EXPECT_EQ(out, "ABCABCA=41QUJD.");
}

TEST(EncodedWords, DecodeIso2022JpToShiftJis) {
  // "漢字" and "注文" in ISO-2022-JP, as B and Q words.
  EXPECT_EQ(DecodeEncodedWords("=?ISO-2022-JP?B?GyRCNEE7ehsoQg==?="), "\x8A\xBF\x8E\x9A");
  EXPECT_EQ(DecodeEncodedWords("=?iso-2022-jp?q?=1B$B4A;z=1B(B?="), "\x8A\xBF\x8E\x9A");
  EXPECT_EQ(DecodeEncodedWords(
                "=?ISO-2022-JP?b?GyRCNEE7ehsoQg==?=\r\n =?ISO-2022-JP?B?GyRCQ21KOBsoQg==?="),
            "\x8A\xBF\x8E\x9A\x92\x8D\x95\xB6");
}

TEST(EncodedWords, EveryCharsetOfTheMailTextTable) {
  // "漢字" (8A BF 8E 9A) in each charset, as B and Q words.
  struct Case {
    std::string word;
  };
  const Case cases[] = {
      {"=?UTF-8?B?5ryi5a2X?="},
      {"=?utf-8?q?=E6=BC=A2=E5=AD=97?="},
      {"=?UTF-8*ja?B?5ryi5a2X?="},
      {"=?ISO-2022-JP-2004?B?GyRCNEE7ehsoQg==?="},
      {"=?EUC-JP?B?tMG7+g==?="},
      {"=?x-euc-jp?Q?=B4=C1=BB=FA?="},
      {"=?Shift_JIS?B?ir+Omg==?="},
      {"=?windows-31j?Q?=8A=BF=8E=9A?="},
      {"=?us-ascii?Q?=B4=C1=BB=FA?="},  // lying: detected as EUC-JP
      {"=?x-unknown?B?GyRCNEE7ehsoQg==?="},  // unknown: detected as JIS
  };
  for (const Case& c : cases) EXPECT_EQ(DecodeEncodedWords(c.word), "\x8A\xBF\x8E\x9A") << c.word;
  EXPECT_EQ(DecodeEncodedWords("=?UTF-8?B?8J+Now==?= x"), "\x81\xAC x");  // an emoji
}

TEST(EncodedWords, KeepTextAroundTheWords) {
  EXPECT_EQ(DecodeEncodedWords("Re: =?ISO-8859-1?Q?caf=E9_au_lait?= (2)"),
            "Re: caf\xE9 au lait (2)");
  EXPECT_EQ(DecodeEncodedWords("=?ISO-8859-1?Q?a?= b =?ISO-8859-1?Q?c?="), "a b c");
  EXPECT_EQ(DecodeEncodedWords("=?ISO-8859-1?Q?a?=  =?ISO-8859-1?Q?c?="), "ac");
}

TEST(EncodedWords, LeaveOtherAndMalformedTextAlone) {
  for (std::string v : {"plain subject", "=?ISO-2022-JP?B?GyRC",
                        "=?ISO-2022-JP?X?abc?=", "=?ISO-2022-JP"})
    EXPECT_EQ(DecodeEncodedWords(v), v);
  EXPECT_EQ(DecodeEncodedWords("=?ISO =?ISO-8859-1?Q?x?="), "=?ISO x");
  // Base64 in a word skips what is outside its alphabet, like a base64 body.
  EXPECT_EQ(DecodeEncodedWords("=?ISO-8859-1?B?QU*J D?="), "ABC");
  // A word left open ends the search: the rest is copied, later "?=" or not.
  EXPECT_EQ(DecodeEncodedWords("=?ISO-8859-1?Q?a?= =?ISO?q?x =?ISO?q?y"), "a =?ISO?q?x =?ISO?q?y");
  EXPECT_EQ(DecodeEncodedWords("=?ISO-8859-1?X?a?= =?ISO-8859-1?Q?b?="), "=?ISO-8859-1?X?a?= b");
}

std::vector<TNetDecoderItem> DecodeStructure(const std::string& input, size_t piece) {
  TNetMimeDecoder d;
  std::vector<TNetDecoderItem> items;
  auto take = [&] {
    for (auto& item : d.TakeItems()) {
      if (item.Code == kItemData && !items.empty() && items.back().Code == kItemData)
        items.back().Text += item.Text;
      else
        items.push_back(std::move(item));
    }
  };
  for (size_t i = 0; i < input.size(); i += piece) {
    d.Write(std::string_view(input).substr(i, piece));
    take();
  }
  d.Finish();
  take();
  return items;
}

std::string Describe(const std::vector<TNetDecoderItem>& items) {
  std::string s;
  for (const auto& item : items) s += std::to_string(item.Code) + "[" + item.Text + "]";
  return s;
}

TEST(StructureDecoder, ItemsDoNotDependOnHowTheInputIsCut) {
  const std::string input =
      "Content-Type: multipart/mixed;\r\n\tboundary=\"XX\"\r\nContent-Transfer-Encoding: "
      "7bit\r\n\r\n"
      "pre\r\n"
      "--XX\r\n"
      "Content-Type: text/plain\r\nX-Note: a\r\n  b\r\n\r\n"
      "one\r\ntwo\r\n"
      "--XX  \r\n"
      "Content-Type: application/pdf; name=\"a b.pdf\"\r\n"
      "Content-Transfer-Encoding: base64\r\n"
      "Content-Disposition: attachment; filename=c.pdf;\r\n\r\n"
      "QUJD\r\nRA==\r\n"
      "--XX--\r\n"
      "epilogue\r\n";
  const std::string expected =
      "23[Content-Type: multipart/mixed; boundary=\"XX\"]23[Content-Transfer-Encoding: 7bit]21[]"
      "0[pre]24[XX]"
      "23[Content-Type: text/plain]23[X-Note: a b]21[]0[one\r\ntwo]24[XX]"
      "23[Content-Type: application/pdf; name=\"a b.pdf\"]5[a b.pdf]"
      "23[Content-Transfer-Encoding: base64]"
      "23[Content-Disposition: attachment; filename=c.pdf;]5[c.pdf]21[]0[ABCD]";
  for (size_t piece : {size_t{1}, size_t{2}, size_t{7}, input.size()})
    EXPECT_EQ(Describe(DecodeStructure(input, piece)), expected) << "pieces of " << piece;
}

TEST(StructureDecoder, HeaderLinesEndAtCrOrLf) {
  EXPECT_EQ(Describe(DecodeStructure("A: 1\rB: 2\nC: 3\r\n\rbody\r", 1)),
            "23[A: 1]23[B: 2]23[C: 3]21[]0[body\r]");
}

TEST(StructureDecoder, BoundaryOnlyAtALineStartAndWhole) {
  const std::string input =
      "Content-Type: multipart/mixed; boundary=XX; charset=x\r\n\r\n"
      "--XX\r\n\r\n"
      "a --XX\r\n--XXY\r\n---XX\r\n"
      "--XX--";
  EXPECT_EQ(Describe(DecodeStructure(input, input.size())),
            "23[Content-Type: multipart/mixed; boundary=XX; charset=x]21[]24[XX]21[]"
            "0[a --XX\r\n--XXY\r\n---XX]");
}

TEST(StructureDecoder, NestedMultipartEndsWithItsOwnClosingBoundary) {
  const std::string input =
      "Content-Type: multipart/mixed; boundary=OUT\r\n\r\n"
      "--OUT\r\n"
      "Content-Type: multipart/alternative; boundary=IN\r\n\r\n"
      "--IN\r\n\r\nplain\r\n"
      "--IN--\r\ninner epilogue\r\n"
      "--OUT\r\n\r\nlast\r\n"
      "--OUT--\r\nouter epilogue\r\n";
  EXPECT_EQ(Describe(DecodeStructure(input, 3)),
            "23[Content-Type: multipart/mixed; boundary=OUT]21[]24[OUT]"
            "23[Content-Type: multipart/alternative; boundary=IN]21[]24[IN]21[]0[plain]"
            "24[OUT]21[]0[last]");
}

TEST(StructureDecoder, NestingBeyondTheCapLeavesDeeperBoundariesAsContent) {
  const size_t depth = TNetMimeDecoder::kMaxMultipartDepth;
  std::string input;
  for (size_t i = 0; i < depth + 5; ++i)
    input += "--b" + std::to_string(i) + "\r\nContent-Type: multipart/mixed; boundary=b" +
             std::to_string(i + 1) + "\r\n\r\n";
  // b1..b100 are open (b0 was never declared); b101 is content, a closing b50 ends 50..100.
  input += "--b" + std::to_string(depth + 1) + "\r\n" + "--b50--\r\nepilogue\r\n" +
           "--b49\r\n\r\nlast\r\n";
  const std::string out = Describe(DecodeStructure("Content-Type: multipart/mixed; boundary=b1\r\n\r\n" + input, 7));
  EXPECT_NE(out.find("24[b" + std::to_string(depth) + "]"), std::string::npos);
  EXPECT_EQ(out.find("24[b" + std::to_string(depth + 1) + "]"), std::string::npos);
  EXPECT_EQ(out.find("epilogue"), std::string::npos);
  // Inside the innermost section, the deeper boundary line is content.
  EXPECT_NE(out.find("boundary=b" + std::to_string(depth + 5) + "\r\n\r\n--b" +
                     std::to_string(depth + 1) + "]24[b49]21[]0[last"),
            std::string::npos)
      << out.substr(out.size() - 120);
}

// A caller may put bytes where the data would go itself only while the decoder would hand
// them on unchanged: then writing more gives exactly those bytes as one data item.
TEST(StructureDecoder, PassesThroughOnlyPlainContentWithoutBoundaries) {
  const struct {
    const char* input;
    bool take;  // the items so far are taken
    bool passes;
  } cases[] = {
      {"Content-Transfer-Encoding: 7bit\r\n\r\nbody\r\n", true, true},
      {"\r\n", true, true},
      {"Content-Transfer-Encoding: 8BIT\r\n\r\n", true, true},
      {"Content-Transfer-Encoding: x-unknown\r\n\r\n", true, true},
      {"Content-Transfer-Encoding: 7bit\r\n\r\nbody\r\n", false, false},
      {"Content-Transfer-Encoding: base64\r\n\r\nQUJD\r\n", true, false},
      {"Content-Transfer-Encoding: Quoted-Printable\r\n\r\n", true, false},
      {"Content-Type: text/plain\r\n", true, false},
      {"Subject: x\r\n\r", true, false},
      {"Content-Type: multipart/mixed; boundary=b\r\n\r\npre\r\n", true, false},
      {"Content-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n\r\ntext\r\n", true, false},
      {"Content-Type: multipart/mixed; boundary=b\r\n\r\n--b--\r\nepilogue\r\n", true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input);
    TNetMimeDecoder d;
    d.Write(c.input);
    if (c.take) d.TakeItems();
    EXPECT_EQ(d.PassesThrough(), c.passes);
    if (!c.passes) continue;
    const std::string more = "..x\r\n--b\r\n=1B\nlast";
    d.Write(more);
    d.Finish();
    EXPECT_EQ(Describe(d.TakeItems()), "0[" + more + "]");
  }
}

TEST(StructureDecoder, BoundariesThatContainDashesAndPrefixesOfEachOther) {
  const std::string input =
      "Content-Type: multipart/mixed; boundary=\"--=_a\"\r\n\r\n"
      "----=_a\r\n"
      "Content-Type: multipart/alternative; boundary=\"--=_a1\"\r\n\r\n"
      "----=_a1  \r\n\r\ninner\r\n"
      "----=_a1--\r\n"
      "----=_a \r\n\r\nouter\r\n----=_a2\r\n"
      "----=_a--\r\n";
  EXPECT_EQ(Describe(DecodeStructure(input, 5)),
            "23[Content-Type: multipart/mixed; boundary=\"--=_a\"]21[]24[--=_a]"
            "23[Content-Type: multipart/alternative; boundary=\"--=_a1\"]21[]24[--=_a1]21[]0[inner]"
            "24[--=_a]21[]0[outer\r\n----=_a2]");
}

}  // namespace

#include "mail/ordertext.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/sjisliteral.h"
#include "mail/message.h"
#include "mail/stringlinereader.h"
#include "support/testing.h"

namespace {

using testing_support::Show;

// The order lines in UTF-8, with a comma the text loses and characters of the extensions.
const std::vector<std::string> kLines = {
    "[日時]     2016-10-24 09:05:33",
    "[注文者] 髙橋 ①子 様",
    "[商品]",
    "桜のマグカップ～ (mug-001)",
    "価格  1,200(円) x 2(個)",
    "**********",
};

std::string Joined(const std::string& lineEnd, const std::string& prefix = "") {
  std::string text = prefix;
  for (const std::string& line : kLines) text += line + lineEnd;
  return text;
}

std::string Base64(const std::string& bytes) {
  static const char* const alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (size_t i = 0; i < bytes.size(); i += 3) {
    uint32_t n = static_cast<unsigned char>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) n |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    if (i + 2 < bytes.size()) n |= static_cast<unsigned char>(bytes[i + 2]);
    for (size_t k = 0; k < 4; ++k) out += i + k <= bytes.size() ? alphabet[(n >> (18 - 6 * k)) & 63] : '=';
    if (out.size() % 78 == 76) out += "\r\n";
  }
  return out + "\r\n";
}

std::string QuotedPrintable(const std::string& bytes) {
  static const char* const hex = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    if (c >= 0x80 || c == '=') out += std::string("=") + hex[c >> 4] + hex[c & 15];
    else out += static_cast<char>(c);
  }
  return out;
}

std::string Mail(const std::string& headers, const std::string& body) {
  return "Subject: order\r\nMIME-Version: 1.0\r\n" + headers + "\r\n" + body + ".\r\n";
}

std::string OrderTextOf(const std::string& wire) {
  TNetMessage m;
  TNetStringLineReader reader(wire);
  if (ReadMessageHeader(reader, m, "")) ReadMessageBody(reader, m);
  const TNetText* part = OrderTextPart(m);
  if (!part) return "(no part)";
  return OrderText(*part);
}

TEST(OrderText, SameOrderInEveryCharsetAndShape) {
  const std::string utf8 = Joined("\r\n");
  const std::string html = "<html><body>\r\n" + Joined("<br>\r\n", "<p>") + "</body></html>\r\n";
  const std::string sjis = Sjis(utf8);
  std::string expected = sjis;
  expected.erase(expected.find(','), 1);

  const std::string multipartHead = "Content-Type: multipart/alternative; boundary=\"b1\"\r\n";
  struct Case {
    std::string name, wire;
  };
  const Case cases[] = {
      {"UTF-8 8bit", Mail("Content-Type: text/plain; charset=UTF-8\r\nContent-Transfer-Encoding: 8bit\r\n", utf8)},
      {"UTF-8 base64, quoted",
       Mail("Content-Type: text/plain; charset=\"utf-8\"\r\nContent-Transfer-Encoding: base64\r\n", Base64(utf8))},
      {"UTF-8 quoted-printable", Mail("Content-Type: text/plain;\r\n charset=\"UTF-8\"\r\n"
                                      "Content-Transfer-Encoding: quoted-printable\r\n",
                                      QuotedPrintable(utf8))},
      {"UTF-8 HTML only", Mail("Content-Type: text/html; charset=UTF-8\r\n", html)},
      {"Shift-JIS as windows-31j", Mail("Content-Type: text/plain; charset=windows-31j\r\n", sjis)},
      {"alternative, plain first",
       Mail(multipartHead, "--b1\r\nContent-Type: text/plain; charset=UTF-8\r\n\r\n" + utf8 +
                               "--b1\r\nContent-Type: text/html; charset=UTF-8\r\n\r\n<p>other</p>\r\n--b1--\r\n")},
      {"alternative, plain after HTML",
       Mail(multipartHead, "--b1\r\nContent-Type: text/html; charset=UTF-8\r\n\r\n<p>other</p>\r\n"
                           "--b1\r\nContent-Type: text/plain; charset=UTF-8\r\n\r\n" + utf8 + "--b1--\r\n")},
      {"alternative, plain part empty",
       Mail(multipartHead, "--b1\r\nContent-Type: text/plain; charset=UTF-8\r\n\r\n \r\n"
                           "--b1\r\nContent-Type: text/html; charset=UTF-8\r\nContent-Transfer-Encoding: base64\r\n\r\n" +
                               Base64(html) + "--b1--\r\n")},
  };
  // Blank lines at the end (the plain body's last line end and the one added) read alike.
  auto withoutTail = [](std::string text) { return text.erase(text.find_last_not_of("\r\n") + 1); };
  for (const Case& c : cases) EXPECT_EQ(Show(withoutTail(OrderTextOf(c.wire))), Show(withoutTail(expected))) << c.name;
}

TEST(OrderText, JapaneseCodesDeclaredOrDetectedUnmappedAndBrokenBytesMarked) {
  // "漢字 1,200" in each code; the comma goes. The body's line end and the one after it stay.
  const std::string kanji = Sjis("漢字 1200\r\n\r\n");
  struct Case {
    std::string name, wire, text;
  };
  const Case cases[] = {
      {"ISO-2022-JP declared", Mail("Content-Type: text/plain; charset=ISO-2022-JP\r\n", "\x1B$B4A;z\x1B(B 1,200\r\n"),
       kanji},
      {"ISO-2022-JP undeclared", Mail("", "\x1B$B4A;z\x1B(B 1,200\r\n"), kanji},
      {"EUC-JP declared", Mail("Content-Type: text/plain; charset=x-euc-jp\r\n", "\xB4\xC1\xBB\xFA 1,200\r\n"), kanji},
      {"EUC-JP as lying us-ascii", Mail("Content-Type: text/plain; charset=us-ascii\r\n", "\xB4\xC1\xBB\xFA 1,200\r\n"),
       kanji},
      {"unknown charset detected", Mail("Content-Type: text/plain; charset=x-unknown\r\n", "\xB4\xC1\xBB\xFA 1,200\r\n"),
       kanji},
      {"SJIS declared", Mail("Content-Type: text/plain; charset=SJIS\r\n", Sjis("漢字 1,200\r\n")), kanji},
      // What Shift-JIS lacks and broken bytes become the mark; the text stays whole.
      {"emoji in UTF-8", Mail("Content-Type: text/plain; charset=UTF-8\r\n", "a\xF0\x9F\x8D\xA3" "b\r\n"),
       "a\x81\xAC" "b\r\n\r\n"},
      {"invalid UTF-8 and NUL", Mail("Content-Type: text/plain; charset=UTF-8\r\n", std::string("a\xFF\0b\r\n", 6)),
       "a\x81\xAC" "b\r\n\r\n"},
      {"lone lead byte before a comma", Mail("Content-Type: text/plain; charset=Shift_JIS\r\n", "a\x81,b\r\n"),
       "a\x81\xAC" "b\r\n\r\n"},
      {"lone lead byte at the end of HTML", Mail("Content-Type: text/html; charset=Shift_JIS\r\n", "a\x81<br>b\r\n"),
       "a\x81\xAC\r\nb"},
      {"no text part",
       Mail("Content-Type: application/octet-stream; name=\"a.bin\"\r\nContent-Transfer-Encoding: base64\r\n",
            "AAECAw==\r\n"),
       "(no part)"},
  };
  for (const Case& c : cases) EXPECT_EQ(Show(OrderTextOf(c.wire)), Show(c.text)) << c.name;
}

}  // namespace

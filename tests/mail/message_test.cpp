#include "mail/message.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "base/errors.h"
#include "base/netexceptions.h"
#include "mail/stringlinereader.h"
#include "platform/timezone.h"
#include "support/testing.h"

namespace {

// The lines as a server sends them: each ends in CR LF.
std::string Wire(std::initializer_list<std::string> lines) {
  std::string s;
  for (const auto& l : lines) s += l + "\r\n";
  return s;
}

// What the POP3 client does after a positive RETR reply. The line after the message
// ("+OK next") shows that exactly the message was consumed.
void Retrieve(const std::string& message, TNetMessage& m) {
  TNetStringLineReader reader(message + "+OK next\r\n");
  if (ReadMessageHeader(reader, m, "")) ReadMessageBody(reader, m);
  EXPECT_EQ(reader.ReadLn(), "+OK next");
}

TNetText& TextPart(TNetMessage& m, size_t i) {
  auto* text = dynamic_cast<TNetText*>(m.Parts.at(i).get());
  if (!text) throw std::runtime_error("part " + std::to_string(i) + " is not a text");
  return *text;
}

// The body as the poll cycle reads it: every entry followed by CR LF.
std::string AsText(const TNetText& t) {
  std::string s;
  for (const auto& e : t.Body) s += e + "\r\n";
  return s;
}

const std::string kJisLine = "\x1B$B4A;z\x1B(B";  // "漢字"

// count numbered lines of about 50 bytes, each ending in CR LF: 3000 of them are more than
// the decoder is given at once.
std::string NumberedLines(const std::string& word, int count) {
  std::string lines;
  for (int i = 0; i < count; ++i)
    lines += "[" + word + " " + std::to_string(i) + "] " + std::string(40, 'x') + "\r\n";
  return lines;
}

TEST(SinglePartMail, TransferDecodedBodyIsOneEntryWithCrLfLineEnds) {
  const struct {
    const char* encoding;
    std::vector<std::string> body;
    std::string decoded;
  } cases[] = {
      {"7bit", {kJisLine, "line2"}, kJisLine + "\r\nline2\r\n"},
      {"quoted-printable", {"=1B$B4A;z=1B(B", "soft=", "break"}, kJisLine + "\r\nsoftbreak\r\n"},
      {"Base64", {"GyRCNEE7ehsoQg0K", "bGluZTINCg=="}, kJisLine + "\r\nline2\r\n"},
      {"x-unknown", {"=1B"}, "=1B\r\n"},
  };
  for (const auto& c : cases) {
    std::string mail = Wire({"Subject: order", "Content-Type: text/plain; charset=ISO-2022-JP",
                             std::string("Content-Transfer-Encoding: ") + c.encoding, ""});
    for (const auto& l : c.body) mail += l + "\r\n";
    mail += ".\r\n";
    TNetMessage m;
    Retrieve(mail, m);
    ASSERT_EQ(m.Parts.size(), 1u) << c.encoding;
    TNetText& text = TextPart(m, 0);
    ASSERT_EQ(text.Body.size(), 1u) << c.encoding;
    EXPECT_EQ(text.Body[0], c.decoded) << c.encoding;
    EXPECT_EQ(text.ContentType, "text/plain; charset=ISO-2022-JP");
  }
}

TEST(SinglePartMail, MailWithoutMimeHeadersPassesThrough) {
  TNetMessage m;
  Retrieve(Wire({"Subject: x", "", "hello", "."}), m);
  EXPECT_EQ(TextPart(m, 0).Body, std::vector<std::string>{"hello\r\n"});
  // No body at all: part 0 is a text without entries.
  TNetMessage empty;
  Retrieve(Wire({"Subject: x", "", "."}), empty);
  EXPECT_TRUE(TextPart(empty, 0).Body.empty());
}

TEST(SinglePartMail, DotStuffingIsUndone) {
  TNetMessage m;
  Retrieve(Wire({"..X-Stuffed: yes", "", "..", "...", "..abc", ".x", "end", "."}), m);
  EXPECT_EQ(m.Headers.Lines.at(0), ".X-Stuffed: yes");
  EXPECT_EQ(TextPart(m, 0).Body.at(0), ".\r\n..\r\n.abc\r\n.x\r\nend\r\n");
}

TEST(SinglePartMail, LfOnlyLinesArriveWithCrLf) {
  TNetMessage m;
  TNetStringLineReader reader("Subject: a\nContent-Type: text/plain\n\nline1\nline2\r\n\n.\n");
  ASSERT_TRUE(ReadMessageHeader(reader, m, ""));
  ReadMessageBody(reader, m);
  EXPECT_EQ(TextPart(m, 0).Body.at(0), "line1\r\nline2\r\n\r\n");
}

// A long order mail must reach the parser without a line break inserted anywhere.
TEST(SinglePartMail, LongBodyArrivesWholeAsOneEntry) {
  for (const char* encoding : {"7bit", "quoted-printable"}) {
    const std::string body = NumberedLines("item", 3000);
    TNetMessage m;
    Retrieve(Wire({std::string("Content-Transfer-Encoding: ") + encoding, ""}) + body + ".\r\n", m);
    TNetText& text = TextPart(m, 0);
    ASSERT_EQ(text.Body.size(), 1u) << encoding;
    EXPECT_TRUE(text.Body[0] == body) << encoding;
    EXPECT_EQ(AsText(text), body + "\r\n");
  }
}

// Content read straight into a text's body: the same text whatever size the server
// announced (none, exact, too small, far too large), lines longer than the room kept per
// read included; storage reserved for a size that never came is given back.
TEST(SinglePartMail, AnnouncedSizeChangesOnlyTheRoomMade) {
  std::string nearRoom;  // lines around 4 KB long
  for (int i = 0; i < 40; ++i) nearRoom += std::string(4000 + i * 7, static_cast<char>('a' + i % 26)) + "\r\n";
  const struct {
    const char* name;
    std::string body;
  } bodies[] = {
      {"short lines", NumberedLines("item", 3000)},
      {"lines about 4 KB", nearRoom},
      {"one long line", std::string(100000, 'L') + "\r\ntail\r\n"},
      {"2 MB", NumberedLines("big", 40000)},
      {"empty", ""},
  };
  for (const auto& b : bodies) {
    for (size_t announced : {size_t{0}, b.body.size(), b.body.size() / 2 + 1, 4 * kMaxBodyReserve}) {
      SCOPED_TRACE(std::string(b.name) + ", announced " + std::to_string(announced));
      TNetMessage m;
      TNetStringLineReader reader(Wire({"Subject: x", ""}) + b.body + ".\r\n+OK next\r\n");
      ASSERT_TRUE(ReadMessageHeader(reader, m, ""));
      ReadMessageBody(reader, m, announced);
      EXPECT_EQ(reader.ReadLn(), "+OK next");
      TNetText& text = TextPart(m, 0);
      if (b.body.empty()) {
        EXPECT_TRUE(text.Body.empty());
        continue;
      }
      ASSERT_EQ(text.Body.size(), 1u);
      EXPECT_TRUE(text.Body[0] == b.body);
      EXPECT_LE(text.Body[0].capacity(), 2 * b.body.size() + 64 * 1024);
    }
  }
}

TEST(SinglePartMail, StrayBytesInBase64AreSkipped) {
  TNetMessage m;
  TNetStringLineReader reader(
      Wire({"Content-Transfer-Encoding: base64", "", "QUJD", "QU*JD", "QUJD\x80", ".", "+OK next"}));
  ASSERT_TRUE(ReadMessageHeader(reader, m, ""));
  ReadMessageBody(reader, m);
  EXPECT_EQ(TextPart(m, 0).Body, std::vector<std::string>{"ABCABCABC"});
  EXPECT_EQ(reader.ReadLn(), "+OK next");
}

TEST(SinglePartMail, ConnectionFailureComesThroughAtOnce) {
  TNetMessage m;
  TNetStringLineReader reader(Wire({"Subject: x", "", "partial"}));
  ASSERT_TRUE(ReadMessageHeader(reader, m, ""));
  EXPECT_THROW(ReadMessageBody(reader, m), ENetConnClosedGracefully);

  // The text read before the failure is kept (in one entry or several).
  const std::string body = NumberedLines("read", 3000);
  TNetMessage cut;
  TNetStringLineReader cutReader(Wire({"Subject: x", ""}) + body + "partial");
  ASSERT_TRUE(ReadMessageHeader(cutReader, cut, ""));
  EXPECT_THROW(ReadMessageBody(cutReader, cut), ENetConnClosedGracefully);
  std::string kept;
  for (const std::string& entry : TextPart(cut, 0).Body) kept += entry;
  EXPECT_TRUE(kept == body);
}

TEST(MessageHeader, MailEndingBeforeItsEmptyLineHasNoBody) {
  TNetMessage m;
  TNetStringLineReader reader(Wire({"Subject: only headers", ".", "+OK next"}));
  EXPECT_FALSE(ReadMessageHeader(reader, m, ""));
  EXPECT_EQ(m.Subject, "only headers");
  EXPECT_EQ(reader.ReadLn(), "+OK next");
}

TEST(MessageHeader, FieldsAreFilledFromTheHeaderLines) {
  TNetMessage m;
  m.Headers.Add("X-Earlier: kept");  // reading adds to the lines already there
  Retrieve(
      Wire({"SUBJECT: =?ISO-2022-JP?B?GyRCNEE7ehsoQg==?=", "\t=?iso-2022-jp?q?=1B$BCmJ8=1B(B?=",
            "From: =?ISO-2022-JP?B?GyRCNEE7ehsoQg==?= <shop@example.jp>",
            "To: a@example.jp, \"B\" <b@example.jp>", "cc: c@example.jp",
            "Disposition-Notification-To: ", "Return-Receipt-To: r@example.jp",
            "Date: Tue, 01 Oct 2024 12:34:56 +0900", "X-Priority: 1 (Highest)",
            "Message-Id: <1@example.jp>", "Newsgroups: a.b, c.d", "content-type: text/plain", "",
            "."}),
      m);
  EXPECT_EQ(m.Headers.Lines.size(), 13u);
  EXPECT_EQ(m.Headers.Lines[0], "X-Earlier: kept");
  EXPECT_EQ(m.Subject, "\x8A\xBF\x8E\x9A\x92\x8D\x95\xB6");  // 漢字注文
  EXPECT_EQ(m.From.Name, "\x8A\xBF\x8E\x9A");
  EXPECT_EQ(m.From.Address, "shop@example.jp");
  ASSERT_EQ(m.Recipients.size(), 2u);
  EXPECT_EQ(m.Recipients[1].Address, "b@example.jp");
  ASSERT_EQ(m.CCList.size(), 1u);
  EXPECT_EQ(m.ReceiptRecipient.Address, "r@example.jp");
  EXPECT_EQ(m.Date.year, platform::LocalTimeOf(1727753696).year);
  EXPECT_EQ(m.Date.hour, platform::LocalTimeOf(1727753696).hour);
  EXPECT_EQ(m.Priority, TNetMessagePriority::Highest);
  EXPECT_EQ(m.MsgId, "<1@example.jp>");
  EXPECT_EQ(m.NewsGroups, (std::vector<std::string>{"a.b", "c.d"}));
  EXPECT_EQ(m.ContentType, "text/plain");
}

TEST(MessageHeader, PriorityFallsBackToXPriorityThenNormal) {
  TNetMessage a, b, c;
  Retrieve(Wire({"Priority: urgent", "X-Priority: 5", "", "."}), a);
  Retrieve(Wire({"X-Priority: 5", "", "."}), b);
  Retrieve(Wire({"Subject: x", "", "."}), c);
  EXPECT_EQ(a.Priority, TNetMessagePriority::High);
  EXPECT_EQ(b.Priority, TNetMessagePriority::Lowest);
  EXPECT_EQ(c.Priority, TNetMessagePriority::Normal);
}

TEST(MessageBody, NoDecodeKeepsTheRawLines) {
  TNetMessage m;
  m.NoDecode = true;
  Retrieve(Wire({"Content-Transfer-Encoding: base64", "", "QUJD", "..x", "", "."}), m);
  EXPECT_EQ(m.Body, (std::vector<std::string>{"QUJD", ".x", ""}));
  EXPECT_TRUE(m.Parts.empty());
}

std::string Multipart() {
  return Wire({"Subject: with attachment",
               "Content-Type: multipart/mixed;",
               " boundary=\"=_b1\"",
               "",
               "This is a MIME message.",
               "--=_b1",
               "Content-Type: text/plain; charset=ISO-2022-JP",
               "Content-Transfer-Encoding: 7bit",
               "",
               kJisLine,
               "second line",
               "",
               "--=_b1",
               "Content-Type: application/octet-stream;",
               " name=\"=?ISO-2022-JP?B?GyRCNEE7ehsoQg==?=.bin\"",
               "Content-Transfer-Encoding: base64",
               "",
               "AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8gISIjJCUmJygpKissLS4vMDEyMzQ1Njc4OTo7",
               "--=_b1--",
               "epilogue",
               "."});
}

TEST(MultipartMail, PreambleIsPartZeroAndEachSectionAPart) {
  std::string storedPath;
  {
    TNetMessage m;
    Retrieve(Multipart(), m);
    ASSERT_EQ(m.Parts.size(), 3u);
    EXPECT_EQ(TextPart(m, 0).Body, std::vector<std::string>{"This is a MIME message."});

    TNetText& text = TextPart(m, 1);
    EXPECT_EQ(text.Body, std::vector<std::string>{kJisLine + "\r\nsecond line\r\n"});
    EXPECT_EQ(text.Headers.Lines,
              (std::vector<std::string>{"Content-Type: text/plain; charset=ISO-2022-JP",
                                        "Content-Transfer-Encoding: 7bit"}));
    EXPECT_EQ(text.ContentTransfer, "7bit");

    auto* attachment = dynamic_cast<TNetAttachment*>(m.Parts[2].get());
    ASSERT_NE(attachment, nullptr);
    EXPECT_EQ(attachment->FileName, "\x8A\xBF\x8E\x9A.bin");
    EXPECT_EQ(attachment->ContentType,
              "application/octet-stream; name=\"=?ISO-2022-JP?B?GyRCNEE7ehsoQg==?=.bin\"");
    storedPath = attachment->StoredPathName;
    std::filesystem::path p(storedPath);
    EXPECT_EQ(p.filename().string().substr(0, 3), "Vdl");
    EXPECT_EQ(p.parent_path(), (std::filesystem::temp_directory_path() / "x").parent_path());
    std::string expected;
    for (int i = 0; i < 60; ++i) expected += static_cast<char>(i);
    EXPECT_EQ(testing_support::ReadAll(storedPath), expected);
  }
  // The attachment's temporary file goes with the message.
  EXPECT_FALSE(testing_support::FileExists(storedPath));
}

TEST(MultipartMail, EmptyPreambleLeavesPartZeroEmpty) {
  TNetMessage m;
  Retrieve(Wire({"Content-Type: multipart/alternative; boundary=b", "", "--b", "", "plain", "--b",
                 "Content-Type: text/html", "", "<p>html</p>", "--b--", "."}),
           m);
  ASSERT_EQ(m.Parts.size(), 3u);
  EXPECT_TRUE(TextPart(m, 0).Body.empty());
  // A section without header lines is plain text.
  EXPECT_EQ(TextPart(m, 1).Body, std::vector<std::string>{"plain"});
  EXPECT_EQ(TextPart(m, 2).Body, std::vector<std::string>{"<p>html</p>"});
}

// Preamble and sections longer than what the decoder is given at once: each text arrives
// whole as one entry, and an attachment after a long text gets only its own data.
TEST(MultipartMail, LongSectionsArriveWhole) {
  const std::string preamble = NumberedLines("preamble", 3000);
  const std::string text = NumberedLines("text", 3000);
  const std::string data = NumberedLines("data", 3000);
  TNetMessage m;
  Retrieve(Wire({"Content-Type: multipart/mixed; boundary=b", ""}) + preamble +
               Wire({"--b", "Content-Type: text/plain", ""}) + text +
               Wire({"--b", "Content-Type: text/plain; name=data.txt", ""}) + data +
               Wire({"--b--", "."}),
           m);
  ASSERT_EQ(m.Parts.size(), 3u);
  // The line end before a boundary line belongs to the boundary.
  auto withoutLastLineEnd = [](const std::string& s) { return s.substr(0, s.size() - 2); };
  ASSERT_EQ(TextPart(m, 0).Body.size(), 1u);
  EXPECT_TRUE(TextPart(m, 0).Body[0] == withoutLastLineEnd(preamble));
  ASSERT_EQ(TextPart(m, 1).Body.size(), 1u);
  EXPECT_TRUE(TextPart(m, 1).Body[0] == withoutLastLineEnd(text));
  auto* attachment = dynamic_cast<TNetAttachment*>(m.Parts[2].get());
  ASSERT_NE(attachment, nullptr);
  EXPECT_TRUE(testing_support::ReadAll(attachment->StoredPathName) == withoutLastLineEnd(data));
}

TEST(MultipartMail, SectionKeepsItsEncodingWhateverTheHeaderOrder) {
  TNetMessage m;
  Retrieve(Wire({"Content-Type: multipart/mixed; boundary=b", "", "--b",
                 "Content-Transfer-Encoding: base64", "Content-Type: text/plain", "", "QUJD",
                 "--b--", "."}),
           m);
  ASSERT_EQ(m.Parts.size(), 2u);
  EXPECT_EQ(TextPart(m, 1).Body, std::vector<std::string>{"ABC"});
}

TEST(MultipartMail, TextSectionWithNameIsAnAttachment) {
  TNetMessage m;
  Retrieve(Wire({"Content-Type: multipart/mixed; boundary=b", "", "--b",
                 "Content-Disposition: attachment; filename=order.txt", "Content-Type: text/plain",
                 "", "data", "--b", "Content-Type: image/png", "", "unnamed", "--b--", "."}),
           m);
  ASSERT_EQ(m.Parts.size(), 3u);
  auto* named = dynamic_cast<TNetAttachment*>(m.Parts[1].get());
  ASSERT_NE(named, nullptr);
  EXPECT_EQ(named->FileName, "order.txt");
  EXPECT_EQ(named->ContentDisposition, "attachment; filename=order.txt");
  EXPECT_EQ(testing_support::ReadAll(named->StoredPathName), "data");
  // An attachment without a name still keeps its data.
  auto* unnamed = dynamic_cast<TNetAttachment*>(m.Parts[2].get());
  ASSERT_NE(unnamed, nullptr);
  EXPECT_EQ(testing_support::ReadAll(unnamed->StoredPathName), "unnamed");
}

TEST(AttachmentMail, TopLevelNameMakesPartZeroAnAttachment) {
  const struct {
    const char* encoding;
    const char* line;
    std::string data;
  } cases[] = {
      {"base64", "QUJD", "ABC"},
      // Passed through unchanged, but into the file, not into a text.
      {"7bit", "..ABC", ".ABC\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.encoding);
    TNetMessage m;
    Retrieve(Wire({"Content-Type: application/pdf; name=\"order.pdf\"",
                   std::string("Content-Transfer-Encoding: ") + c.encoding, "", c.line, "."}),
             m);
    ASSERT_EQ(m.Parts.size(), 1u);
    auto* attachment = dynamic_cast<TNetAttachment*>(m.Parts[0].get());
    ASSERT_NE(attachment, nullptr);
    EXPECT_EQ(attachment->FileName, "order.pdf");
    EXPECT_EQ(testing_support::ReadAll(attachment->StoredPathName), c.data);
  }
}

TEST(MessageBody, ReadingAgainRebuildsTheParts) {
  TNetMessage m;
  Retrieve(Multipart(), m);
  TNetStringLineReader reader(Wire({"second", "."}));
  m.ContentType = "text/plain";
  ReadMessageBody(reader, m);
  ASSERT_EQ(m.Parts.size(), 1u);
  EXPECT_EQ(TextPart(m, 0).Body, std::vector<std::string>{"second\r\n"});
}

}  // namespace

// What a hostile mail can make is bounded: attachment files exist only for data and only
// up to the cap, and parts stop at their cap while the rest of the mail is still read.
TEST(HostileMail, AttachmentFilesOnlyForDataAndUpToTheCap) {
  std::string wire = Wire({"Content-Type: multipart/mixed; boundary=b", ""});
  const size_t sections = 2 * kMaxAttachmentFiles + 20;
  for (size_t i = 0; i < sections; ++i) {
    wire += Wire({"--b", "Content-Type: application/x; name=a" + std::to_string(i), ""});
    if (i % 2 == 0 || i >= 2 * kMaxAttachmentFiles) wire += Wire({"data" + std::to_string(i)});
  }
  wire += Wire({"--b--", "."});
  std::vector<std::string> stored;
  {
    TNetMessage m;
    Retrieve(wire, m);
    ASSERT_EQ(m.Parts.size(), sections + 1);
    size_t files = 0;
    for (size_t i = 0; i < sections; ++i) {
      auto* a = dynamic_cast<TNetAttachment*>(m.Parts[i + 1].get());
      ASSERT_NE(a, nullptr);
      EXPECT_EQ(a->FileName, "a" + std::to_string(i));
      const bool hasData = i % 2 == 0 || i >= 2 * kMaxAttachmentFiles;
      if (!hasData || files == kMaxAttachmentFiles) {
        EXPECT_EQ(a->StoredPathName, "") << i;
        continue;
      }
      ++files;
      EXPECT_EQ(testing_support::ReadAll(a->StoredPathName), "data" + std::to_string(i));
      stored.push_back(a->StoredPathName);
    }
    EXPECT_EQ(files, kMaxAttachmentFiles);
  }
  for (const std::string& path : stored) EXPECT_FALSE(testing_support::FileExists(path));
}

TEST(HostileMail, PartsStopAtTheCapAndTheMailIsReadToItsEnd) {
  std::string wire = Wire({"Content-Type: multipart/mixed; boundary=b", ""});
  for (size_t i = 0; i < kMaxMessageParts + 50; ++i) wire += Wire({"--b", "", "s"});
  TNetStringLineReader reader(wire + Wire({"--b--", ".", "+OK next"}));
  TNetMessage m;
  ASSERT_TRUE(ReadMessageHeader(reader, m, ""));
  ReadMessageBody(reader, m);
  EXPECT_EQ(m.Parts.size(), kMaxMessageParts);
  EXPECT_EQ(TextPart(m, kMaxMessageParts - 1).Body, std::vector<std::string>{"s"});
  EXPECT_EQ(reader.ReadLn(), "+OK next");
}

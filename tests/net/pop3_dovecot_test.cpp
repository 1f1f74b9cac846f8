// The POP3 client against a real server: the private dovecot instance CTest starts.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "mail/message.h"
#include "base/netexceptions.h"
#include "net/pop3.h"
#include "support/dovecot_mailbox.h"
#include "support/testing.h"
#include "thrown.h"

using testing_support::DovecotMailbox;

namespace {

std::string Mail(const std::string& subject, const std::string& body) {
  return "From: shop@example.com\r\nTo: owner@example.com\r\nSubject: " + subject +
         "\r\nMIME-Version: 1.0\r\nContent-Type: text/plain; charset=us-ascii\r\n\r\n" + body;
}

const std::string kJis = "\x1B$B4A;z\x1B(B";  // two kanji in ISO-2022-JP
const std::string kSjis = "\x8A\xBF\x8E\x9A";    // the same in Shift-JIS

// A Japanese text mail as the mall sends it, with the given transfer encoding and body.
std::string JapaneseMail(const std::string& encoding, const std::string& body) {
  return "From: order@example.com\r\nSubject: =?ISO-2022-JP?B?GyRCNEE7ehsoQg==?=\r\n"
         "MIME-Version: 1.0\r\nContent-Type: text/plain; charset=ISO-2022-JP\r\n"
         "Content-Transfer-Encoding: " + encoding + "\r\n\r\n" + body;
}

TNetText& TextPart(TNetMessage& m, size_t i) {
  auto* text = dynamic_cast<TNetText*>(m.Parts.at(i).get());
  if (!text) throw std::runtime_error("part " + std::to_string(i) + " is not a text");
  return *text;
}

class Dovecot : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    ASSERT_TRUE(box.Load(why)) << why;
    box.Clear();
  }

  void Login(TNetPOP3& pop, const std::string& password) {
    pop.Host = "127.0.0.1";
    pop.Port = box.Port;
    pop.UserId = box.User;
    pop.Password = password;
    pop.InactivityTimeout = 10000;
    pop.OpenConnection();
  }

  // The lines of message n as the server sends them, dot-stuffing undone.
  std::vector<std::string> RawMessage(TNetPOP3& pop, int n) {
    pop.SendCommand("RETR " + std::to_string(n), 1);
    std::vector<std::string> lines;
    pop.CaptureLines(&lines, ".", true);
    return lines;
  }

  // The count of a fresh session; the server finishes a session's "Quit" on its own time,
  // so a deletion may need a moment to show.
  int CountAfterwards(int expected) {
    int count = -1;
    for (int attempt = 0; attempt < 50; ++attempt) {
      TNetPOP3 pop;
      Login(pop, box.Password);
      count = pop.CountMessages();
      pop.CloseConnection();
      if (count == expected) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return count;
  }

  DovecotMailbox box;
};

TEST_F(Dovecot, LogsInAndCounts) {
  box.Put(Mail("one", "1\r\n"));
  box.Put(Mail("two", "2\r\n"));
  TNetPOP3 pop;
  Login(pop, box.Password);
  EXPECT_TRUE(pop.IsOpen());
  EXPECT_EQ(pop.CountMessages(), 2);
  pop.CloseConnection();
  EXPECT_FALSE(pop.IsOpen());
}

TEST_F(Dovecot, EmptyMailboxCountsZero) {
  TNetPOP3 pop;
  Login(pop, box.Password);
  EXPECT_EQ(pop.CountMessages(), 0);
  pop.CloseConnection();
}

TEST_F(Dovecot, WrongPasswordIsRefusedAndTheNextLoginWorksAtOnce) {
  TNetPOP3 pop;
  auto e = Thrown<ENetProtocolReplyError>([&] { Login(pop, "wrong"); });
  ASSERT_TRUE(e);
  EXPECT_EQ(e->ReplyNumber, 0);
  EXPECT_EQ(std::string(e->what()).substr(0, 5), "-ERR ");
  EXPECT_FALSE(pop.IsOpen());
  Login(pop, box.Password);
  EXPECT_EQ(pop.CountMessages(), 0);
  pop.CloseConnection();
}

TEST_F(Dovecot, MessagesComeBackLineByLineWithDotsIntact) {
  box.Put(Mail("dots", ".leading dot\r\n..two dots\r\n.\r\nend\r\n"));
  TNetPOP3 pop;
  Login(pop, box.Password);
  std::vector<std::string> lines = RawMessage(pop, 1);
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(std::vector<std::string>(lines.end() - 4, lines.end()),
            (std::vector<std::string>{".leading dot", "..two dots", ".", "end"}));
  EXPECT_EQ(pop.SendCommand("RETR 2"), 0);  // no such message
  pop.CloseConnection();
}

TEST_F(Dovecot, DeletionIsCommittedByQuitAndTouchesNothingElse) {
  box.Put(Mail("first", "a\r\n"));
  box.Put(Mail("second", "b\r\n"));
  box.Put(Mail("third", "c\r\n"));
  TNetPOP3 pop;
  Login(pop, box.Password);
  ASSERT_EQ(pop.CountMessages(), 3);
  EXPECT_TRUE(pop.DeleteMessage(1));
  EXPECT_THROW(pop.DeleteMessage(1), ENetProtocolReplyError);  // already marked
  pop.CloseConnection();

  ASSERT_EQ(CountAfterwards(2), 2);
  Login(pop, box.Password);
  EXPECT_EQ(RawMessage(pop, 1).back(), "b");
  EXPECT_EQ(RawMessage(pop, 2).back(), "c");
  pop.CloseConnection();
}

TEST_F(Dovecot, DeletionWithoutQuitIsForgotten) {
  box.Put(Mail("kept", "k\r\n"));
  TNetPOP3 pop;
  Login(pop, box.Password);
  EXPECT_TRUE(pop.DeleteMessage(1));
  pop.TNetTCPClient::CloseConnection();  // the connection drops without "Quit"
  Login(pop, box.Password);
  EXPECT_EQ(pop.CountMessages(), 1);
  EXPECT_EQ(RawMessage(pop, 1).back(), "k");
  pop.CloseConnection();
}

TEST_F(Dovecot, RetrievesAndDecodesJapaneseMailsInEveryTransferEncoding) {
  const struct {
    const char* encoding;
    std::string body;
  } mails[] = {
      {"7bit", kJis + " order\r\nqty 1\r\n"},
      {"quoted-printable", "=1B$B4A;z=1B(B order\r\nqty=\r\n 1\r\n"},
      {"base64", "GyRCNEE7ehsoQiBvcmRlcg0KcXR5IDENCg==\r\n"},
  };
  for (const auto& mail : mails) box.Put(JapaneseMail(mail.encoding, mail.body));
  TNetPOP3 pop;
  Login(pop, box.Password);
  ASSERT_EQ(pop.CountMessages(), 3);
  for (int n = 1; n <= 3; ++n) {
    TNetMessage m;
    ASSERT_TRUE(pop.RetrieveMessage(n, m)) << n;
    EXPECT_EQ(m.Subject, kSjis) << n;
    ASSERT_EQ(m.Parts.size(), 1u) << n;
    EXPECT_EQ(TextPart(m, 0).Body, std::vector<std::string>{kJis + " order\r\nqty 1\r\n"}) << n;
  }
  TNetMessage untouched;
  EXPECT_FALSE(pop.RetrieveMessage(4, untouched));
  EXPECT_TRUE(untouched.Parts.empty());
  pop.CloseConnection();
}

TEST_F(Dovecot, RetrievesMultipartMailWithAttachment) {
  box.Put("Subject: with attachment\r\nMIME-Version: 1.0\r\n"
          "Content-Type: multipart/mixed; boundary=\"=_b1\"\r\n\r\n"
          "preamble\r\n--=_b1\r\n"
          "Content-Type: text/plain; charset=ISO-2022-JP\r\nContent-Transfer-Encoding: 7bit\r\n\r\n" +
          kJis + "\r\n.dot line\r\n--=_b1\r\n"
          "Content-Type: application/octet-stream; name=\"data.bin\"\r\n"
          "Content-Transfer-Encoding: base64\r\n\r\nAAECAwQF\r\n--=_b1--\r\n");
  TNetPOP3 pop;
  Login(pop, box.Password);
  TNetMessage m;
  ASSERT_TRUE(pop.RetrieveMessage(1, m));
  ASSERT_EQ(m.Parts.size(), 3u);
  EXPECT_EQ(TextPart(m, 0).Body, std::vector<std::string>{"preamble"});
  EXPECT_EQ(TextPart(m, 1).Body, std::vector<std::string>{kJis + "\r\n.dot line"});
  auto* attachment = dynamic_cast<TNetAttachment*>(m.Parts[2].get());
  ASSERT_NE(attachment, nullptr);
  EXPECT_EQ(attachment->FileName, "data.bin");
  EXPECT_EQ(testing_support::ReadAll(attachment->StoredPathName), std::string("\0\1\2\3\4\5", 6));
  EXPECT_EQ(pop.CountMessages(), 1);  // still in step after the message
  pop.CloseConnection();
}

TEST_F(Dovecot, PollCycleRetrievesDeletesAndLeavesTheRest) {
  box.Put(JapaneseMail("7bit", "first\r\n"));
  box.Put(JapaneseMail("7bit", "second\r\n"));
  TNetPOP3 pop;
  Login(pop, box.Password);
  ASSERT_EQ(pop.CountMessages(), 2);
  TNetMessage m;
  ASSERT_TRUE(pop.RetrieveMessage(1, m));
  EXPECT_EQ(TextPart(m, 0).Body, std::vector<std::string>{"first\r\n"});
  EXPECT_TRUE(pop.DeleteMessage(1));
  pop.CloseConnection();

  ASSERT_EQ(CountAfterwards(1), 1);
  Login(pop, box.Password);
  TNetMessage rest;
  ASSERT_TRUE(pop.RetrieveMessage(1, rest));
  EXPECT_EQ(TextPart(rest, 0).Body, std::vector<std::string>{"second\r\n"});
  pop.CloseConnection();
}

TEST_F(Dovecot, LongMailArrivesIntact) {
  std::string body;
  for (int i = 0; body.size() < 3000000; ++i)
    body += (i % 97 == 0 ? "." : "") + std::to_string(i) + " " + kJis + " line\r\n";
  box.Put(JapaneseMail("7bit", body));
  TNetPOP3 pop;
  Login(pop, box.Password);
  TNetMessage m;
  ASSERT_TRUE(pop.RetrieveMessage(1, m));
  ASSERT_EQ(TextPart(m, 0).Body.size(), 1u);
  EXPECT_TRUE(TextPart(m, 0).Body[0] == body);
  pop.CloseConnection();
}

}  // namespace

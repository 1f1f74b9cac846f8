// The POP3 client against a real server: the private dovecot instance CTest starts.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "net/netexceptions.h"
#include "net/pop3.h"
#include "support/dovecot_mailbox.h"
#include "thrown.h"

using testing_support::DovecotMailbox;

namespace {

std::string Mail(const std::string& subject, const std::string& body) {
  return "From: shop@example.com\r\nTo: owner@example.com\r\nSubject: " + subject +
         "\r\nMIME-Version: 1.0\r\nContent-Type: text/plain; charset=us-ascii\r\n\r\n" + body;
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

}  // namespace

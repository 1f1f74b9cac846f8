// RETR against scripted servers: the answer is read exactly, refusals leave the message
// alone, and neither a huge nor a stalled answer can hold the client.
#include <gtest/gtest.h>

#include "mail/message.h"
#include "base/netexceptions.h"
#include "net/pop3.h"
#include "support/scripted_server.h"
#include "thrown.h"

using testing_support::ScriptedServer;

namespace {

ScriptedServer& LoggedIn(ScriptedServer& server) {
  return server.Send("+OK\r\n").ReadLine().Send("+OK\r\n").ReadLine().Send("+OK\r\n");
}

void Open(TNetPOP3& pop, ScriptedServer& server) {
  server.Start();
  pop.Host = "127.0.0.1";
  pop.Port = server.Port();
  pop.OpenConnection();
}

TNetText& Text0(TNetMessage& m) {
  auto* text = dynamic_cast<TNetText*>(m.Parts.at(0).get());
  if (!text) throw std::runtime_error("part 0 is not a text");
  return *text;
}

TEST(Pop3Retrieve, ReadsExactlyTheMessageAndStaysInStep) {
  ScriptedServer server;
  LoggedIn(server)
      .Expect("RETR 1")
      .SendInPieces({"+OK 40 octets\r\nSubject: or", "der\r\n\r\nline 1\r\n..dot\r\n", ".\r\n"})
      .Expect("STAT").Send("+OK 1 40\r\n")
      .HoldUntilClientCloses();
  TNetPOP3 pop;
  Open(pop, server);
  TNetMessage m;
  ASSERT_TRUE(pop.RetrieveMessage(1, m));
  EXPECT_EQ(m.Subject, "order");
  EXPECT_EQ(Text0(m).Body, std::vector<std::string>{"line 1\r\n.dot\r\n"});
  EXPECT_EQ(pop.CountMessages(), 1);
  pop.CloseConnection();
}

// The size in the RETR answer only decides how much room is made at once: the message and
// its raw copy are the same for a missing, wrong, absurd or exact size, and room for a
// size that never came is given back.
TEST(Pop3Retrieve, AnnouncedSizeIsOnlyAHint) {
  std::string wireBody, body;
  for (int i = 0; i < 6000; ++i) {
    const std::string line = (i % 50 == 0 ? "." : "") + std::string("line ") + std::to_string(i);
    wireBody += (line[0] == '.' ? "." : "") + line + "\r\n";
    body += line + "\r\n";
  }
  const std::string header = "Subject: hint\r\n\r\n";
  const std::string exact = std::to_string(header.size() + body.size());
  const std::vector<std::string> replies = {"+OK", "+OK 10 octets", "+OK " + exact + " octets",
                                            "+OK 99999999999999999999999999 octets", "+OK -5",
                                            "+OK 67108864 octets", "+OK  " + exact};
  for (const std::string& reply : replies) {
    SCOPED_TRACE(reply);
    ScriptedServer server;
    LoggedIn(server)
        .Expect("RETR 1")
        .Send(reply + "\r\n" + header + wireBody + ".\r\n")
        .Expect("STAT").Send("+OK 1 99\r\n")
        .HoldUntilClientCloses();
    TNetPOP3 pop;
    Open(pop, server);
    TNetMessage m;
    ASSERT_TRUE(pop.RetrieveMessage(1, m));
    EXPECT_EQ(m.Subject, "hint");
    ASSERT_EQ(Text0(m).Body.size(), 1u);
    EXPECT_TRUE(Text0(m).Body[0] == body);
    EXPECT_TRUE(pop.RawMessage(m) == header + body);
    EXPECT_LE(Text0(m).Body[0].capacity(), 2 * body.size() + 128 * 1024);
    EXPECT_EQ(pop.CountMessages(), 1);
    pop.CloseConnection();
  }
}

// What is kept of a mail that cannot be used: the lines read, whether the body was decoded
// on the way or read straight into the message's text, also when the server stops early.
TEST(Pop3Retrieve, RawMessageHoldsTheLinesReadWhereverTheBodyWent) {
  const struct {
    const char* name;
    std::string header, wireBody, close;  // close: a cut-off line before the server closes
    std::string raw;                      // empty: the header and the body unstuffed
  } cases[] = {
      {"7bit", "Subject: a\r\n\r\n", "one\r\n..two\r\n", "", ""},
      {"base64", "Content-Transfer-Encoding: base64\r\n\r\n", "QUJD\r\n..\r\n", "", ""},
      {"multipart", "Content-Type: multipart/mixed; boundary=b\r\n\r\n",
       "pre\r\n--b\r\n\r\n..x\r\n--b--\r\n", "", ""},
      {"7bit cut off", "Subject: a\r\n\r\n", "one\r\n..two\r\n", "thr",
       "Subject: a\r\n\r\none\r\n.two\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedServer server;
    LoggedIn(server).Expect("RETR 1").Send("+OK\r\n" + c.header + c.wireBody);
    if (c.close.empty())
      server.Send(".\r\n").HoldUntilClientCloses();
    else
      server.Send(c.close).Close();
    TNetPOP3 pop;
    Open(pop, server);
    TNetMessage m;
    if (c.close.empty()) {
      ASSERT_TRUE(pop.RetrieveMessage(1, m));
      std::string unstuffed = c.wireBody;
      for (size_t at = unstuffed.find("\n.."); at != std::string::npos; at = unstuffed.find("\n..", at + 2))
        unstuffed.erase(at + 1, 1);
      if (unstuffed.starts_with("..")) unstuffed.erase(0, 1);
      EXPECT_EQ(pop.RawMessage(m), c.header + unstuffed);
      pop.CloseConnection();
    } else {
      EXPECT_THROW(pop.RetrieveMessage(1, m), ENetConnClosedGracefully);
      EXPECT_EQ(pop.RawMessage(m), c.raw);
    }
  }
}

TEST(Pop3Retrieve, RefusalReturnsFalseAndReadsNothingFurther) {
  ScriptedServer server;
  LoggedIn(server)
      .Expect("RETR 1").Send("-ERR no such message\r\n")
      .Expect("STAT").Send("+OK 0 0\r\n")
      .HoldUntilClientCloses();
  TNetPOP3 pop;
  Open(pop, server);
  TNetMessage m;
  EXPECT_FALSE(pop.RetrieveMessage(1, m));
  EXPECT_TRUE(m.Headers.Lines.empty());
  EXPECT_TRUE(m.Parts.empty());
  EXPECT_EQ(pop.CountMessages(), 0);
  pop.CloseConnection();
}

TEST(Pop3Retrieve, HeaderOnlyMessageEndsAtTheDotLine) {
  ScriptedServer server;
  LoggedIn(server)
      .Expect("RETR 2").Send("+OK\r\nSubject: no body\r\nX-Other: y\r\n.\r\n")
      .Expect("STAT").Send("+OK 2 99\r\n")
      .HoldUntilClientCloses();
  TNetPOP3 pop;
  pop.InactivityTimeout = 2000;  // a read past the "." line would end in a time-out
  Open(pop, server);
  TNetMessage m;
  ASSERT_TRUE(pop.RetrieveMessage(2, m));
  EXPECT_EQ(m.Subject, "no body");
  EXPECT_TRUE(m.Parts.empty());
  EXPECT_EQ(pop.CountMessages(), 2);
  pop.CloseConnection();
}

TEST(Pop3Retrieve, MessageLargerThanTheLimitFailsAndClosesTheConnection) {
  const std::string line = std::string(1000, 'm') + "\r\n";
  std::string body;
  while (body.size() <= kMaxMessageSize) body += line;
  ScriptedServer server;
  LoggedIn(server).Expect("RETR 1").Send("+OK\r\nSubject: big\r\n\r\n" + body + ".\r\n");
  TNetPOP3 pop;
  Open(pop, server);
  TNetMessage m;
  auto e = Thrown<ENetLimitExceeded>([&] { pop.RetrieveMessage(1, m); });
  ASSERT_TRUE(e);
  EXPECT_STREQ(e->what(), "Message larger than 67108864 bytes.");
  EXPECT_FALSE(pop.IsOpen());
  // The session is over without "Quit": the server deletes nothing.
  EXPECT_THROW(pop.CloseConnection(), ENetConnClosedGracefully);
}

TEST(Pop3Retrieve, ServerStallingInsideTheMessageTimesOut) {
  ScriptedServer server;
  LoggedIn(server).Expect("RETR 1").Send("+OK\r\nSubject: x\r\n\r\nhalf").HoldUntilClientCloses();
  TNetPOP3 pop;
  pop.InactivityTimeout = 500;
  Open(pop, server);
  TNetMessage m;
  auto e = Thrown<ENetSocketError>([&] { pop.RetrieveMessage(1, m); });
  ASSERT_TRUE(e);
  EXPECT_EQ(e->Code, 10060);
  EXPECT_FALSE(pop.IsOpen());
}

}  // namespace

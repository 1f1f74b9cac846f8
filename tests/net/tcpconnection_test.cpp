#include "net/tcpclient.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "base/netexceptions.h"
#include "support/scripted_server.h"
#include "thrown.h"

using testing_support::ScriptedServer;

namespace {

// A client connected to a scripted server whose script the test has queued.
struct Session {
  ScriptedServer server;
  TNetTCPClient client;

  void Open() {
    server.Start();
    client.Host = "127.0.0.1";
    client.Port = server.Port();
    client.OpenConnection();
  }
  void Finish() {
    client.CloseConnection();
    server.Join();
    EXPECT_TRUE(server.Failures().empty()) << server.Failures().front();
  }
};

TEST(TcpLines, LineSplitOverSegmentsArrivesWhole) {
  Session s;
  s.server.SendInPieces({"+OK hel", "lo wor", "ld\r", "\n"});
  s.Open();
  EXPECT_EQ(s.client.ReadLine(), "+OK hello world");
  s.Finish();
}

TEST(TcpLines, LineEndsLfOnlyAndCrCrLf) {
  Session s;
  s.server.Send("lf only\nwith cr\r\ncr cr\r\r\n\nlast\r\n");
  s.Open();
  EXPECT_EQ(s.client.ReadLine(), "lf only");
  EXPECT_EQ(s.client.ReadLine(), "with cr");
  EXPECT_EQ(s.client.ReadLine(), "cr cr\r");
  EXPECT_EQ(s.client.ReadLine(), "");
  EXPECT_EQ(s.client.ReadLine(), "last");
  s.Finish();
}

TEST(TcpLines, GivenTerminatorIsDroppedAndNothingElse) {
  Session s;
  s.server.Send("a\r\nb|c\r|\n");
  s.Open();
  EXPECT_EQ(s.client.ReadLine("|"), "a\r\nb");
  EXPECT_EQ(s.client.ReadLine("|"), "c\r");
  EXPECT_EQ(s.client.ReadLine(), "");
  s.Finish();
}

TEST(TcpLines, LineBeforePeerCloseIsStillReadThenCloseIsReported) {
  Session s;
  s.server.Send("+OK bye\r\n").Close();
  s.Open();
  EXPECT_EQ(s.client.ReadLine(), "+OK bye");
  EXPECT_THROW(s.client.ReadLine(), ENetConnClosedGracefully);
  EXPECT_FALSE(s.client.IsOpen());
  EXPECT_THROW(s.client.WriteLine("NOOP"), ENetConnClosedGracefully);
  s.server.Join();
}

TEST(TcpLines, LineCutOffByPeerCloseIsNotDelivered) {
  Session s;
  s.server.Send("complete\r\npartial").Close();
  s.Open();
  EXPECT_EQ(s.client.ReadLine(), "complete");
  EXPECT_THROW(s.client.ReadLine(), ENetConnClosedGracefully);
  s.server.Join();
}

TEST(TcpLines, ShortTimeoutGivesEmptyLineAndKeepsConnection) {
  Session s;
  s.server.Expect("GO").Send("late\r\n").HoldUntilClientCloses();
  s.Open();
  EXPECT_EQ(s.client.ReadLine("", 50), "");
  EXPECT_TRUE(s.client.LineTimedOut());
  EXPECT_TRUE(s.client.IsOpen());
  s.client.WriteLine("GO");
  EXPECT_EQ(s.client.ReadLine("", 5000), "late");
  EXPECT_FALSE(s.client.LineTimedOut());
  s.Finish();
}

TEST(TcpReplies, MultiLineReplyEndsAtCodeAndSpace) {
  Session s;
  s.server.Send("220-first\r\n220-second\r\n220 last\r\n");
  s.Open();
  EXPECT_EQ(s.client.ReadReply({220}), 220);
  EXPECT_EQ(s.client.ReplyLines, (std::vector<std::string>{"220-first", "220-second", "220 last"}));
  EXPECT_EQ(s.client.LastReplyLine(), "220 last");
  s.Finish();
}

TEST(TcpReplies, MultiLineReplyKeepsInnerLinesWithOtherCodes) {
  Session s;
  s.server.Send("211-Features:\r\n MDTM\r\n211 End\r\n\r\n  \r\n250 next\r\n");
  s.Open();
  EXPECT_EQ(s.client.ReadReply({}), 211);
  EXPECT_EQ(s.client.ReplyLines, (std::vector<std::string>{"211-Features:", "MDTM", "211 End"}));
  // Blank lines between replies are skipped.
  EXPECT_EQ(s.client.ReadReply({}), 250);
  s.Finish();
}

TEST(TcpReplies, ReplyWordsAndNumbers) {
  Session s;
  s.server.Send("+ok fine\r\n-err no\r\n+OK\r\nabc def\r\n  550 trimmed  \r\n12\r\n");
  s.Open();
  EXPECT_EQ(s.client.ReadReply({1}), 1);
  EXPECT_EQ(s.client.ReadReply({0}), 0);
  EXPECT_EQ(s.client.ReadReply({}), 1);
  EXPECT_EQ(s.client.ReadReply({}), 0);
  EXPECT_EQ(s.client.ReadReply({}), 550);
  EXPECT_EQ(s.client.LastReplyLine(), "550 trimmed");
  EXPECT_EQ(s.client.ReadReply({}), 12);
  s.Finish();
}

TEST(TcpReplies, UnacceptedReplyCarriesLineAndNumber) {
  Session s;
  s.server.Expect("DELE 1").Send("-ERR no such message\r\n").Expect("STOR x").Send("550 denied\r\n");
  s.Open();
  auto e = Thrown<ENetProtocolReplyError>([&] { s.client.SendCommand("DELE 1", 1); });
  ASSERT_TRUE(e);
  EXPECT_STREQ(e->what(), "-ERR no such message");
  EXPECT_EQ(e->ReplyNumber, 0);
  e = Thrown<ENetProtocolReplyError>([&] { s.client.SendCommand("STOR x", 226); });
  ASSERT_TRUE(e);
  EXPECT_STREQ(e->what(), "550 denied");
  EXPECT_EQ(e->ReplyNumber, 550);
  s.Finish();
}

TEST(TcpReplies, NulCommandOnlyReadsTheReply) {
  Session s;
  s.server.Send("220 hello\r\n").Expect("NOOP").Send("200 ok\r\n");
  s.Open();
  EXPECT_EQ(s.client.SendCommand(std::string(1, '\0'), 220), 220);
  EXPECT_EQ(s.client.SendCommand("NOOP"), 200);
  s.Finish();
  EXPECT_EQ(s.server.Received(), "NOOP\r\n");
}

TEST(TcpCapture, MailModeUnstuffsDotsAndConsumesTheEndLine) {
  Session s;
  s.server.Send("one\r\n..two\r\n...\r\n..\r\n.\r\nafter\r\n");
  s.Open();
  std::vector<std::string> lines;
  s.client.CaptureLines(&lines, ".", true);
  EXPECT_EQ(lines, (std::vector<std::string>{"one", ".two", "..", "."}));
  EXPECT_EQ(s.client.ReadLine(), "after");
  s.Finish();
}

TEST(TcpCapture, WithoutMailModeOrDestination) {
  Session s;
  s.server.Send("..x\r\nEND\r\nskip\r\n\r\nnext\r\n");
  s.Open();
  std::vector<std::string> lines;
  s.client.CaptureLines(&lines, "END", false);
  EXPECT_EQ(lines, std::vector<std::string>{"..x"});
  s.client.CaptureLines(nullptr, "", false);
  EXPECT_EQ(s.client.ReadLine(), "next");
  s.Finish();
}

TEST(TcpBytes, ExactCountsAcrossSegments) {
  Session s;
  s.server.SendInPieces({"ab", "cdef", "gh\r\nrest\r\n"});
  s.Open();
  char out[7] = {};
  s.client.ReadExact(out, 0);
  s.client.ReadExact(out, 7);
  EXPECT_EQ(std::string(out, 7), "abcdefg");
  EXPECT_EQ(s.client.ReadLine(), "h");
  EXPECT_EQ(s.client.ReadLine(), "rest");
  s.Finish();
}

TEST(TcpBytes, ExactCountCutOffByCloseFails) {
  Session s;
  s.server.Send("abc").Close();
  s.Open();
  char out[8];
  EXPECT_THROW(s.client.ReadExact(out, 8), ENetConnClosedGracefully);
  s.server.Join();
}

TEST(TcpStreams, CountedUntilCloseAndPrefixed) {
  Session s;
  std::string big(100000, 'z');
  s.server.Send(std::string("\0\0\0\5hello", 9) + "0123" + big).Close();
  s.Open();
  std::ostringstream none, prefixed, counted, rest;
  s.client.ReadIntoStream(none, 0);
  EXPECT_EQ(none.str(), "");
  s.client.ReadIntoStream(prefixed);
  EXPECT_EQ(prefixed.str(), "hello");
  s.client.ReadIntoStream(counted, 4);
  EXPECT_EQ(counted.str(), "0123");
  s.client.ReadIntoStream(rest, -1, true);
  EXPECT_EQ(rest.str(), big);
  EXPECT_FALSE(s.client.IsOpen());
  s.server.Join();
}

TEST(TcpStreams, CountedReadCutOffByCloseFails) {
  Session s;
  s.server.Send("abc").Close();
  s.Open();
  std::ostringstream out;
  EXPECT_THROW(s.client.ReadIntoStream(out, 10), ENetConnClosedGracefully);
  s.server.Join();
}

TEST(TcpStreams, WriteFromStreamWholeFromPositionAndCounted) {
  Session s;
  s.server.HoldUntilClientCloses();
  s.Open();
  std::string payload(70000, 'p');
  payload += "end";
  std::istringstream whole(payload), part("skipKEEP"), counted("xyz");
  s.client.WriteFromStream(whole);
  part.seekg(4);
  s.client.WriteFromStream(part, false);
  s.client.WriteFromStream(counted, true, true);
  s.Finish();
  EXPECT_EQ(s.server.Received(), payload + "KEEP" + std::string("\0\0\0\3xyz", 7));
}

TEST(TcpWrites, EmptyWritesSendNothingAndLinesEndInCrLf) {
  Session s;
  s.server.HoldUntilClientCloses();
  s.Open();
  s.client.WriteText("");
  s.client.WriteBytes("x", 0);
  s.client.WriteLine("USER a");
  s.client.WriteText("raw");
  s.Finish();
  EXPECT_EQ(s.server.Received(), "USER a\r\nraw");
}

TEST(TcpOpen, ClosedConnectionRefusesUse) {
  TNetTCPClient client;
  EXPECT_FALSE(client.IsOpen());
  EXPECT_THROW(client.ReadLine(), ENetConnClosedGracefully);
  EXPECT_THROW(client.WriteLine("x"), ENetConnClosedGracefully);
  EXPECT_THROW(client.WaitReadable(10), ENetConnClosedGracefully);
  client.CloseConnection();  // nothing to close
}

TEST(TcpOpen, OpenWhileOpenFailsAndReopenAfterClose) {
  Session s;
  s.server.Send("first\r\n").HoldUntilClientCloses();
  s.Open();
  EXPECT_TRUE(s.client.IsOpen());
  EXPECT_THROW(s.client.OpenConnection(), ENetAlreadyConnected);
  EXPECT_EQ(s.client.ReadLine(), "first");
  s.Finish();

  ScriptedServer second;
  second.Send("second\r\n").HoldUntilClientCloses();
  second.Start();
  s.client.Port = second.Port();
  s.client.OpenConnection();
  EXPECT_EQ(s.client.ReadLine(), "second");
  s.client.CloseConnection();
}

TEST(TcpOpen, LocalhostInAnyCaseConnectsToLoopback) {
  Session s;
  s.server.HoldUntilClientCloses();
  s.server.Start();
  s.client.Host = "LocalHost";
  s.client.Port = s.server.Port();
  s.client.UseNagle = false;
  s.client.OpenConnection();
  EXPECT_EQ(s.client.Binding().PeerIP, "127.0.0.1");
  EXPECT_EQ(s.client.Binding().PeerPort, s.server.Port());
  EXPECT_EQ(s.client.Binding().IP, "127.0.0.1");
  EXPECT_GT(s.client.Binding().Port, 0);
  s.Finish();
}

TEST(TcpOpen, RefusedConnectionIsASocketErrorAndLeavesItClosed) {
  int port;
  { ScriptedServer gone; port = gone.Port(); }  // listened once, nobody there now
  TNetTCPClient client;
  client.Host = "127.0.0.1";
  client.Port = port;
  auto e = Thrown<ENetSocketError>([&] { client.OpenConnection(); });
  ASSERT_TRUE(e);
  EXPECT_EQ(e->Code, 10061);
  EXPECT_STREQ(e->what(), "Socket Error # 10061\r\nConnection refused.");
  EXPECT_FALSE(client.IsOpen());
  EXPECT_THROW(client.ReadLine(), ENetConnClosedGracefully);
}

TEST(TcpOpen, BindingAnAddressThatIsNotLocalFails) {
  TNetTCPClient client;
  client.Host = "127.0.0.1";
  client.Port = 1;
  client.BoundIP = "192.0.2.1";  // documentation range: never an address of this machine
  auto e = Thrown<ENetSocketError>([&] { client.OpenConnection(); });
  ASSERT_TRUE(e);
  EXPECT_EQ(e->Code, 10049);
  EXPECT_FALSE(client.IsOpen());
}

TEST(NetStack, SocketErrorTexts) {
  EXPECT_EQ(SocketErrorText(10060), "Socket Error # 10060\r\nConnection timed out.");
  EXPECT_EQ(SocketErrorText(10035), "Socket Error # 10035\r\nOperation would block. ");
  EXPECT_EQ(SocketErrorText(10066), "Socket Error # 10066\r\nDirectory not empty");
  EXPECT_EQ(SocketErrorText(11001), "Socket Error # 11001\r\n");
}

TEST(NetStack, DottedQuads) {
  EXPECT_TRUE(IsDottedQuad("127.0.0.1"));
  EXPECT_TRUE(IsDottedQuad("0.0.0.0"));
  EXPECT_TRUE(IsDottedQuad("255.255.255.255"));
  EXPECT_FALSE(IsDottedQuad("1.2.3.256"));
  EXPECT_FALSE(IsDottedQuad("1.2.3"));
  EXPECT_FALSE(IsDottedQuad("1..3.4"));
  EXPECT_FALSE(IsDottedQuad("1.2.3."));
  EXPECT_FALSE(IsDottedQuad("1.2.3.4.5"));
  EXPECT_FALSE(IsDottedQuad("-1.2.3.4"));
  EXPECT_FALSE(IsDottedQuad("mail.example.com"));
  EXPECT_FALSE(IsDottedQuad(""));
}

TEST(NetStack, LookUpWithoutResolver) {
  using Addresses = std::vector<std::string>;
  EXPECT_EQ(LookUpHost("localhost"), Addresses{"127.0.0.1"});
  EXPECT_EQ(LookUpHost("LOCALHOST"), Addresses{"127.0.0.1"});
  EXPECT_EQ(LookUpHost("10.1.2.3"), Addresses{"10.1.2.3"});
}

}  // namespace

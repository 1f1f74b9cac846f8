// Time and size limits: no wait is endless and no peer can make the client hold more than
// the named limits.
#include <gtest/gtest.h>

#include <sstream>

#include "base/netexceptions.h"
#include "net/tcpclient.h"
#include "platform/socket.h"
#include "support/scripted_server.h"
#include "thrown.h"

using testing_support::ScriptedServer;

namespace {

void Connect(TNetTCPClient& client, ScriptedServer& server) {
  server.Start();
  client.Host = "127.0.0.1";
  client.Port = server.Port();
  client.OpenConnection();
}

void ExpectTimedOut(const std::optional<ENetSocketError>& e) {
  ASSERT_TRUE(e) << "no time-out";
  EXPECT_EQ(e->Code, 10060);
  EXPECT_STREQ(e->what(), "Socket Error # 10060\r\nConnection timed out.");
}

TEST(TcpTimeouts, StalledServerTimesOutAndTheConnectionIsClosed) {
  ScriptedServer server;
  server.Send("+OK hel").HoldUntilClientCloses();
  TNetTCPClient client;
  client.InactivityTimeout = 500;
  Connect(client, server);
  ExpectTimedOut(Thrown<ENetSocketError>([&] { client.ReadLine(); }));
  EXPECT_FALSE(client.IsOpen());
  server.Join();
}

TEST(TcpTimeouts, EveryKindOfReadIsBounded) {
  for (int kind = 0; kind < 4; ++kind) {
    ScriptedServer server;
    server.HoldUntilClientCloses();
    TNetTCPClient client;
    client.InactivityTimeout = 300;
    Connect(client, server);
    char byte;
    std::ostringstream out;
    ExpectTimedOut(Thrown<ENetSocketError>([&] {
      switch (kind) {
        case 0: client.ReadReply({}); break;
        case 1: client.ReadExact(&byte, 1); break;
        case 2: client.ReadIntoStream(out, 10); break;
        case 3: client.ReadIntoStream(out, -1, true); break;
      }
    }));
    server.Join();
  }
}

TEST(TcpTimeouts, ServerThatStopsReadingTimesOutTheSend) {
  ScriptedServer server;
  server.Pause(60000);  // never reads; ends when the server is destroyed
  TNetTCPClient client;
  client.InactivityTimeout = 500;
  Connect(client, server);
  std::string chunk(1 << 20, 's');
  auto e = Thrown<ENetSocketError>([&] {
    for (int i = 0; i < 256; ++i) client.WriteText(chunk);
  });
  ExpectTimedOut(e);
  EXPECT_FALSE(client.IsOpen());
}

// A listener whose queue of pending connections is full lets new connects hang unanswered.
TEST(TcpTimeouts, UnansweredConnectTimesOut) {
  ASSERT_TRUE(platform::StartSocketService());
  platform::TcpSocket listener = platform::TcpSocket::Create();
  std::string ip;
  int port = 0;
  ASSERT_TRUE(listener.Bind("127.0.0.1", 0) && listener.Listen(0) && listener.LocalAddress(ip, port));
  // Fill the queue until a connect finds no answer (one or two suffice; bounded anyway).
  std::vector<platform::TcpSocket> fillers;
  for (int i = 0; i < 16; ++i) {
    platform::TcpSocket filler = platform::TcpSocket::Create();
    if (!filler.Connect("127.0.0.1", port, 300)) break;
    fillers.push_back(std::move(filler));
  }
  TNetTCPClient client;
  client.Host = "127.0.0.1";
  client.Port = port;
  client.InactivityTimeout = 500;
  auto e = Thrown<ENetSocketError>([&] { client.OpenConnection(); });
  ExpectTimedOut(e);
  EXPECT_FALSE(client.IsOpen());
}

TEST(TcpLimits, LineAtTheLimitIsReadOneByteMoreFails) {
  ScriptedServer server;
  server.Send(std::string(kMaxLineLength, 'a') + "\r\n" + std::string(kMaxLineLength + 1, 'b') +
              "\n");
  TNetTCPClient client;
  Connect(client, server);
  EXPECT_EQ(client.ReadLine().size(), kMaxLineLength);
  auto e = Thrown<ENetLimitExceeded>([&] { client.ReadLine(); });
  ASSERT_TRUE(e);
  EXPECT_STREQ(e->what(), "Line longer than 33554432 bytes.");
  EXPECT_FALSE(client.IsOpen());
  EXPECT_EQ(client.QueuedBytes(), 0u);
}

TEST(TcpLimits, EndlessLineWithoutTerminatorFails) {
  ScriptedServer server;
  server.Send(std::string(kMaxLineLength + (1 << 20), 'x'));
  TNetTCPClient client;
  Connect(client, server);
  EXPECT_THROW(client.ReadLine(), ENetLimitExceeded);
  EXPECT_FALSE(client.IsOpen());
}

TEST(TcpLimits, EndlessMultiLineReplyFails) {
  const std::string line = "220-" + std::string((1 << 20) - 6, 'r') + "\r\n";
  std::string reply;
  while (reply.size() <= kMaxReplySize) reply += line;
  ScriptedServer server;
  server.Send(reply + "220 end\r\n");
  TNetTCPClient client;
  Connect(client, server);
  auto e = Thrown<ENetLimitExceeded>([&] { client.ReadReply({}); });
  ASSERT_TRUE(e);
  EXPECT_STREQ(e->what(), "Reply longer than 33554432 bytes.");
  EXPECT_FALSE(client.IsOpen());
}

TEST(TcpLimits, BlankLinesCountTowardsTheReplyLimit) {
  ScriptedServer server;
  server.Send(std::string(kMaxReplySize / 2 + 1, '\n'));
  TNetTCPClient client;
  Connect(client, server);
  EXPECT_THROW(client.ReadReply({}), ENetLimitExceeded);
}

TEST(TcpLimits, CaptureLargerThanAMessageFails) {
  const std::string line = std::string((1 << 20) - 2, 'm') + "\r\n";
  std::string answer;
  while (answer.size() <= kMaxMessageSize) answer += line;
  ScriptedServer server;
  server.Send(answer + ".\r\n");
  TNetTCPClient client;
  Connect(client, server);
  std::vector<std::string> lines;
  auto e = Thrown<ENetLimitExceeded>([&] { client.CaptureLines(&lines, ".", true); });
  ASSERT_TRUE(e);
  EXPECT_STREQ(e->what(), "Answer larger than 67108864 bytes.");
  EXPECT_FALSE(client.IsOpen());
}

}  // namespace

// The POP3 client against scripted servers: exact wire texts and every refusal.
#include "net/pop3.h"

#include <gtest/gtest.h>

#include "base/errors.h"
#include "base/netexceptions.h"
#include "support/scripted_server.h"
#include "thrown.h"

using testing_support::ScriptedServer;

namespace {

// Greeting and login as a server answers them.
ScriptedServer& LoginScript(ScriptedServer& server) {
  return server.Send("+OK ready\r\n")
      .Expect("USER shop")
      .Send("+OK\r\n")
      .Expect("PASS s3cret")
      .Send("+OK logged in\r\n");
}

void Open(TNetPOP3& pop, ScriptedServer& server) {
  server.Start();
  pop.Host = "127.0.0.1";
  pop.Port = server.Port();
  pop.UserId = "shop";
  pop.Password = "s3cret";
  pop.OpenConnection();
}

void ExpectNoScriptFailure(ScriptedServer& server) {
  server.Join();
  for (const auto& f : server.Failures()) ADD_FAILURE() << f;
}

TEST(Pop3, PortDefaultsTo110) { EXPECT_EQ(TNetPOP3().Port, 110); }

TEST(Pop3, LoginAndQuitSendExactLines) {
  ScriptedServer server;
  LoginScript(server).Expect("Quit");
  TNetPOP3 pop;
  Open(pop, server);
  EXPECT_TRUE(pop.IsOpen());
  pop.CloseConnection();
  EXPECT_FALSE(pop.IsOpen());
  ExpectNoScriptFailure(server);
  EXPECT_EQ(server.Received(), "USER shop\r\nPASS s3cret\r\nQuit\r\n");
}

TEST(Pop3, ReplyWordsInLowerCaseAreAccepted) {
  ScriptedServer server;
  server.Send("+ok hi\r\n").Expect("USER shop").Send("+ok\r\n").Expect("PASS s3cret").Send("+ok\r\n");
  server.HoldUntilClientCloses();
  TNetPOP3 pop;
  Open(pop, server);
  EXPECT_TRUE(pop.IsOpen());
  pop.CloseConnection();
  ExpectNoScriptFailure(server);
}

TEST(Pop3, WrongPasswordFailsWithTheServersLineAndSaysQuit) {
  ScriptedServer server;
  server.Send("+OK ready\r\n").Expect("USER shop").Send("+OK\r\n").Expect("PASS s3cret");
  server.Send("-ERR bad\r\n").Expect("Quit").HoldUntilClientCloses();
  TNetPOP3 pop;
  auto e = Thrown<ENetProtocolReplyError>([&] { Open(pop, server); });
  ASSERT_TRUE(e);
  EXPECT_STREQ(e->what(), "-ERR bad");
  EXPECT_EQ(e->ReplyNumber, 0);
  EXPECT_FALSE(pop.IsOpen());
  ExpectNoScriptFailure(server);
}

TEST(Pop3, RefusingGreetingEndsTheLoginBeforeUser) {
  ScriptedServer server;
  server.Send("-ERR too busy\r\n").Expect("Quit").HoldUntilClientCloses();
  TNetPOP3 pop;
  auto e = Thrown<ENetProtocolReplyError>([&] { Open(pop, server); });
  ASSERT_TRUE(e);
  EXPECT_STREQ(e->what(), "-ERR too busy");
  ExpectNoScriptFailure(server);
}

TEST(Pop3, ServerClosingDuringLoginLeavesTheCloseFailure) {
  // The goodbye cannot be sent on the closed connection; that later failure is the one
  // the caller receives, and the socket is closed all the same.
  ScriptedServer server;
  server.Send("+OK ready\r\n").Expect("USER shop").Close();
  TNetPOP3 pop;
  EXPECT_THROW(Open(pop, server), ENetConnClosedGracefully);
  EXPECT_FALSE(pop.IsOpen());
  // Commands on the closed client fail the same way, and nothing is sent.
  EXPECT_THROW(pop.CountMessages(), ENetConnClosedGracefully);
  EXPECT_THROW(pop.CloseConnection(), ENetConnClosedGracefully);
  ExpectNoScriptFailure(server);
}

TEST(Pop3, CountMessagesReadsTheNumberBeforeTheSize) {
  ScriptedServer server;
  LoginScript(server)
      .Expect("STAT").Send("+OK 0 0\r\n")
      .Expect("STAT").Send("+OK 12 345678\r\n")
      .Expect("STAT").Send("+ok 3 5120\r\n")
      .Expect("STAT").Send("+OK 7\r\n")
      .Expect("STAT").Send("-ERR locked\r\n")
      .HoldUntilClientCloses();
  TNetPOP3 pop;
  Open(pop, server);
  EXPECT_EQ(pop.CountMessages(), 0);
  EXPECT_EQ(pop.CountMessages(), 12);
  EXPECT_EQ(pop.CountMessages(), 3);
  EXPECT_THROW(pop.CountMessages(), EConvertError);  // no size after the count
  auto e = Thrown<ENetProtocolReplyError>([&] { pop.CountMessages(); });
  ASSERT_TRUE(e);
  EXPECT_STREQ(e->what(), "-ERR locked");
  pop.CloseConnection();
  ExpectNoScriptFailure(server);
}

TEST(Pop3, DeleteIsTrueOrThrows) {
  ScriptedServer server;
  LoginScript(server)
      .Expect("DELE 1").Send("+OK marked\r\n")
      .Expect("DELE 42").Send("-ERR no such message\r\n")
      .Expect("Quit")
      .HoldUntilClientCloses();
  TNetPOP3 pop;
  Open(pop, server);
  EXPECT_TRUE(pop.DeleteMessage(1));
  auto e = Thrown<ENetProtocolReplyError>([&] { pop.DeleteMessage(42); });
  ASSERT_TRUE(e);
  EXPECT_EQ(e->ReplyNumber, 0);
  EXPECT_STREQ(e->what(), "-ERR no such message");
  pop.CloseConnection();
  ExpectNoScriptFailure(server);
}

TEST(Pop3, CloseDoesNotWaitForTheAnswerToQuit) {
  // The server never answers; a close that waited would end in a time-out failure.
  ScriptedServer server;
  LoginScript(server).Expect("Quit").HoldUntilClientCloses();
  TNetPOP3 pop;
  pop.InactivityTimeout = 1000;
  Open(pop, server);
  pop.CloseConnection();
  EXPECT_FALSE(pop.IsOpen());
  ExpectNoScriptFailure(server);
}

TEST(Pop3, DisconnectFiresAlsoWhenQuitCannotBeSent) {
  ScriptedServer server;
  LoginScript(server).Close();
  TNetPOP3 pop;
  int disconnects = 0;
  pop.OnDisconnected = [&](TNetComponent*) { ++disconnects; };
  Open(pop, server);
  server.Join();
  // The server has gone; the next read notices it and closes the socket once.
  EXPECT_THROW(pop.ReadLine(), ENetConnClosedGracefully);
  EXPECT_THROW(pop.CloseConnection(), ENetConnClosedGracefully);
  EXPECT_EQ(disconnects, 1);
}

TEST(Pop3, LineBreakInUserOrPasswordIsRefusedBeforeConnecting) {
  for (int field = 0; field < 2; ++field) {
    TNetPOP3 pop;
    pop.Host = "127.0.0.1";
    pop.Port = 1;  // never reached: the check comes first
    pop.UserId = field == 0 ? "shop\r\nDELE 1" : "shop";
    pop.Password = field == 1 ? "pw\nDELE 1" : "pw";
    auto e = Thrown<ENetException>([&] { pop.OpenConnection(); });
    ASSERT_TRUE(e) << field;
    EXPECT_NE(std::string(e->what()).find("line break"), std::string::npos) << e->what();
    EXPECT_FALSE(pop.IsOpen());
  }
}

}  // namespace

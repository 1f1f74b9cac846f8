// What a connection tells while it works: the idle pump during waits, progress (work)
// events, status notices and the connect/disconnect events.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <sstream>
#include <thread>

#include "net/idlepump.h"
#include "base/netexceptions.h"
#include "net/tcpclient.h"
#include "support/scripted_server.h"

using testing_support::ScriptedServer;

namespace {

void Connect(TNetTCPClient& client, ScriptedServer& server) {
  server.Start();
  client.Host = "127.0.0.1";
  client.Port = server.Port();
  client.OpenConnection();
}

struct CountingPump {
  TNetIdlePump pump;
  int calls = 0;
  int allPendingCalls = 0;
  CountingPump() {
    pump.IdleTimeOut = 50;
    pump.ProcessMessages = [this](bool all) {
      ++calls;
      if (all) ++allPendingCalls;
    };
  }
};

TEST(IdlePump, WaitForDataProcessesMessagesMeanwhile) {
  CountingPump p;
  ScriptedServer server;
  server.Pause(600).Send("late\r\n").HoldUntilClientCloses();
  TNetTCPClient client;
  Connect(client, server);
  EXPECT_EQ(client.ReadLine(), "late");
  EXPECT_GE(p.calls, 2);
  EXPECT_EQ(p.allPendingCalls, p.calls);
  client.CloseConnection();
}

TEST(IdlePump, WithoutPriorityAtMostOneMessageAtATime) {
  CountingPump p;
  p.pump.ApplicationHasPriority = false;
  ScriptedServer server;
  server.Pause(300).Send("x\n").HoldUntilClientCloses();
  TNetTCPClient client;
  Connect(client, server);
  client.ReadLine();
  EXPECT_GE(p.calls, 1);
  EXPECT_EQ(p.allPendingCalls, 0);
  client.CloseConnection();
}

TEST(IdlePump, InactiveDestroyedOrForeignPumpDoesNothing) {
  ScriptedServer server;
  server.Pause(300).Send("a\n").Pause(300).Send("b\n").Pause(300).Send("c\n").HoldUntilClientCloses();
  TNetTCPClient client;
  Connect(client, server);
  {
    CountingPump p;
    p.pump.Active = false;
    EXPECT_EQ(client.ReadLine(), "a");
    EXPECT_EQ(p.calls, 0);
  }
  EXPECT_EQ(TNetIdlePump::Current(), nullptr);
  // A pump serves only the thread that made it.
  int calls = 0;
  std::unique_ptr<TNetIdlePump> foreign;
  std::thread([&] {
    foreign = std::make_unique<TNetIdlePump>();
    foreign->IdleTimeOut = 50;
    foreign->ProcessMessages = [&](bool) { ++calls; };
  }).join();
  EXPECT_EQ(client.ReadLine(), "b");
  EXPECT_EQ(calls, 0);
  foreign.reset();
  EXPECT_EQ(client.ReadLine(), "c");
  client.CloseConnection();
}

TEST(IdlePump, DataArrivingWhileAHandlerRunsIsNotTakenForSilence) {
  CountingPump p;
  p.pump.ProcessMessages = [&](bool) {
    // A handler that keeps the thread (a dialog, say) past the inactivity limit.
    if (p.calls++ == 0) std::this_thread::sleep_for(std::chrono::milliseconds(800));
  };
  ScriptedServer server;
  server.Pause(150).Send("arrived\r\n").HoldUntilClientCloses();
  TNetTCPClient client;
  client.InactivityTimeout = 400;
  Connect(client, server);
  EXPECT_EQ(client.ReadLine(), "arrived");
  client.CloseConnection();
}

TEST(IdlePump, SendingDoesNotPumpUnlessAskedTo) {
  CountingPump p;
  ScriptedServer server;
  server.HoldUntilClientCloses();
  TNetTCPClient client;
  Connect(client, server);
  client.WriteLine("hello");
  EXPECT_EQ(p.calls, 0);
  p.pump.OnlyWhenIdle = false;
  client.WriteLine("again");
  EXPECT_EQ(p.calls, 1);
  client.CloseConnection();
}

struct WorkLog {
  std::vector<std::string> events;
  void Attach(TNetTCPConnection& c) {
    c.OnWorkBegin = [this](TNetComponent*, TWorkMode m, int64_t expected) {
      events.push_back("begin " + std::to_string(m) + " " + std::to_string(expected));
    };
    c.OnWork = [this](TNetComponent*, TWorkMode m, int64_t total) {
      events.push_back("work " + std::to_string(m) + " " + std::to_string(total));
    };
    c.OnWorkEnd = [this](TNetComponent*, TWorkMode m) {
      events.push_back("end " + std::to_string(m));
    };
  }
};

TEST(WorkEvents, StreamReadReportsRunningTotalsBetweenOneBeginAndEnd) {
  ScriptedServer server;
  server.SendInPieces({"0123456789", std::string(70000, 'x')}).HoldUntilClientCloses();
  TNetTCPClient client;
  client.RecvBufferSize = 40000;
  Connect(client, server);
  WorkLog log;
  log.Attach(client);
  std::ostringstream out;
  client.ReadIntoStream(out, 70010);
  ASSERT_GE(log.events.size(), 4u);
  EXPECT_EQ(log.events.front(), "begin 0 70010");
  EXPECT_EQ(log.events[log.events.size() - 2], "work 0 70010");
  EXPECT_EQ(log.events.back(), "end 0");
  EXPECT_EQ(std::count_if(log.events.begin(), log.events.end(),
                          [](const std::string& e) { return e.rfind("begin", 0) == 0; }),
            1);
  client.CloseConnection();
}

TEST(WorkEvents, StreamWriteIsOneUnitEvenThoughItSendsInBlocks) {
  ScriptedServer server;
  server.HoldUntilClientCloses();
  TNetTCPClient client;
  client.SendBufferSize = 1000;
  Connect(client, server);
  WorkLog log;
  log.Attach(client);
  client.WriteLine("outside any unit");  // no begin open: not reported
  std::istringstream in(std::string(2500, 'w'));
  client.WriteFromStream(in);
  EXPECT_EQ(log.events, (std::vector<std::string>{"begin 1 2500", "work 1 1000", "work 1 2000",
                                                  "work 1 2500", "end 1"}));
  client.CloseConnection();
}

TEST(WorkEvents, FailureHalfWayStillEndsTheUnit) {
  ScriptedServer server;
  server.Send("abc").Close();
  TNetTCPClient client;
  Connect(client, server);
  WorkLog log;
  log.Attach(client);
  std::ostringstream out;
  EXPECT_THROW(client.ReadIntoStream(out, 10), ENetConnClosedGracefully);
  ASSERT_FALSE(log.events.empty());
  EXPECT_EQ(log.events.back(), "end 0");
}

TEST(StatusEvents, OpenAndCloseTellWhatHappens) {
  ScriptedServer server;
  server.HoldUntilClientCloses();
  TNetTCPClient client;
  std::vector<std::string> seen;
  client.OnStatus = [&](TNetComponent* sender, TNetStatus status, const std::string& text) {
    EXPECT_EQ(sender, &client);
    seen.push_back(std::to_string(status) + " " + text);
  };
  client.OnConnected = [&](TNetComponent*) { seen.push_back("connected"); };
  client.OnDisconnected = [&](TNetComponent*) { seen.push_back("disconnected"); };
  server.Start();
  client.Host = "localhost";
  client.Port = server.Port();
  client.OpenConnection();
  client.CloseConnection();
  client.CloseConnection();  // already closed: no second notice
  EXPECT_EQ(seen, (std::vector<std::string>{"0 Resolving hostname localhost.",
                                            "1 Connecting to 127.0.0.1.", "2 Connected.",
                                            "connected", "3 Disconnecting from 127.0.0.1.",
                                            "4 Not connected.", "disconnected"}));
}

TEST(StatusEvents, DottedAddressNeedsNoResolving) {
  ScriptedServer server;
  server.HoldUntilClientCloses();
  TNetTCPClient client;
  std::vector<int> statuses;
  client.OnStatus = [&](TNetComponent*, TNetStatus status, const std::string&) {
    statuses.push_back(status);
  };
  Connect(client, server);
  client.CloseConnection();
  EXPECT_EQ(statuses, (std::vector<int>{1, 2, 3, 4}));
}

}  // namespace

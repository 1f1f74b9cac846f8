// Connecting to a host with several addresses, through a stand-in lookup: the addresses
// are tried in turn (IPv4 first), a refusal moves on at once, a silent address after the
// per-address limit, and the whole connect ends at the inactivity limit. Refusing and
// silent peers are loopback addresses at the scripted server's port: 127.0.0.2 has no
// listener there, 127.0.0.3 one whose queue of pending connections is full.
#include "net/tcpclient.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "base/netexceptions.h"
#include "net/idlepump.h"
#include "net/netstack.h"
#include "platform/socket.h"
#include "support/scripted_server.h"
#include "thrown.h"

using testing_support::ScriptedServer;

namespace {

struct {
  std::mutex mutex;
  std::condition_variable changed;
  bool released = false;
  int calls = 0, running = 0;
  std::thread::id thread;
} state;

// The lookup's stand-in resolver: answers IPv6 and IPv4 addresses mixed, as a dual-stack name does,
// for mail.example; fails for any other name; for stalled.example, first waits until released (at
// most 10 s: a broken test cannot hang the run).
bool ScriptedResolver(const std::string& host, std::vector<std::string>& addresses) {
  std::unique_lock<std::mutex> lock(state.mutex);
  ++state.calls;
  state.thread = std::this_thread::get_id();
  ++state.running;
  if (host == "stalled.example") state.changed.wait_for(lock, std::chrono::seconds(10), [] { return state.released; });
  --state.running;
  state.changed.notify_all();
  addresses = {"2001:db8::1", "10.0.0.2", "2001:db8::2", "10.0.0.1"};
  if (host == "mail.example") return true;
  platform::SetLastSocketError(platform::kSocketErrorHostNotFound);
  return false;
}

// A stalled lookup still runs after the caller gave up on it: let it end.
void LetStalledLookupsEnd() {
  std::unique_lock<std::mutex> lock(state.mutex);
  state.released = true;
  state.changed.notify_all();
  state.changed.wait_for(lock, std::chrono::seconds(10), [] { return state.running == 0; });
}

// The scripted server still waits for the client that never came.
void Unblock(int port) {
  TNetTCPClient client;
  client.Host = "127.0.0.1";
  client.Port = port;
  client.OpenConnection();
  client.CloseConnection();
}

TEST(HostLookup, LimitAnswersAndFailures) {
  const std::vector<std::string> ordered = {"10.0.0.2", "10.0.0.1", "2001:db8::1", "2001:db8::2"};
  const struct {
    const char* host;
    int timeoutMs;
    std::vector<std::string> addresses;
    int error, calls;  // looked up: in a thread of its own when there is a limit
  } cases[] = {
      {"mail.example", 5000, ordered, 0, 1},  // IPv4 first, each family in the lookup's order
      {"mail.example", 0, ordered, 0, 1},     // no limit
      {"fail.example", -1, {}, 11001, 1},
      {"[mail.example]", 50, {}, 11001, 1},   // brackets around a name are no address
      {"stalled.example", 50, {}, 10060, 1},  // a lookup that does not come back ends at the limit
      {"localhost", 50, {"127.0.0.1"}, 0, 0}, {"10.1.2.3", 50, {"10.1.2.3"}, 0, 0}, {"::1", 50, {"::1"}, 0, 0},
      {"[2001:db8::5]", 50, {"2001:db8::5"}, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.host);
    state.calls = 0;
    state.released = false;
    state.thread = std::this_thread::get_id();
    std::vector<std::string> got;
    int error = 0;
    try {
      got = LookUpHost(c.host, c.timeoutMs, ScriptedResolver);
    } catch (const ENetSocketError& e) {
      error = e.Code;
    }
    EXPECT_EQ(got, c.addresses);
    EXPECT_EQ(error, c.error);
    LetStalledLookupsEnd();
    EXPECT_EQ(state.calls, c.calls);
    EXPECT_EQ(state.thread != std::this_thread::get_id(), c.calls > 0 && c.timeoutMs > 0);
  }
}

constexpr const char* kRefusing = "127.0.0.2";
constexpr const char* kSilent = "127.0.0.3";

std::vector<std::string> answer;  // what the stand-in lookup answers

bool StandInLookup(const std::string&, std::vector<std::string>& addresses) {
  addresses = answer;
  return true;
}

// A listener at ip:port that takes no further connection: new connects go unanswered.
struct SilentPeer {
  platform::TcpSocket listener = platform::TcpSocket::Create();
  std::vector<platform::TcpSocket> fillers;

  SilentPeer(const std::string& ip, int port) {
    if (!listener.Bind(ip, port) || !listener.Listen(0))
      throw std::runtime_error("no silent peer: error " + std::to_string(platform::LastSocketError()));
    for (int i = 0; i < 16; ++i) {
      platform::TcpSocket filler = platform::TcpSocket::Create();
      if (!filler.Connect(ip, port, 300)) return;
      fillers.push_back(std::move(filler));
    }
    throw std::runtime_error("no silent peer: every connect was answered");
  }
};

// Records the addresses the client tries, from its status events.
void RecordTried(TNetTCPClient& client, std::vector<std::string>& tried) {
  client.OnStatus = [&tried](TNetComponent*, TNetStatus status, const std::string& text) {
    if (status == nsConnecting) tried.push_back(text);
  };
}

TEST(TcpAddresses, EachAddressInTurnWithinTheLimits) {
  const struct {
    const char* what;
    std::vector<std::string> addresses;
    int addressTimeout;
    int inactivityTimeout;
    std::vector<std::string> tried;
    int error;  // 0: connects to 127.0.0.1
  } cases[] = {
      {"the first refuses: the second at once", {kRefusing, "127.0.0.1"}, 30000, 30000,
       {"Connecting to 127.0.0.2.", "Connecting to 127.0.0.1."}, 0},
      {"the first is silent: the second after the address limit", {kSilent, "127.0.0.1"}, 300, 30000,
       {"Connecting to 127.0.0.3.", "Connecting to 127.0.0.1."}, 0},
      {"the first answers: no other is tried", {"127.0.0.1", kRefusing}, 300, 30000,
       {"Connecting to 127.0.0.1."}, 0},
      {"all refuse: the last refusal", {kRefusing, "127.0.0.4"}, 300, 30000,
       {"Connecting to 127.0.0.2.", "Connecting to 127.0.0.4."}, 10061},
      {"the inactivity limit ends the whole connect", {kSilent, kSilent, "127.0.0.1"}, 300, 500,
       {"Connecting to 127.0.0.3.", "Connecting to 127.0.0.3."}, 10060},
  };
  for (const auto& c : cases) {
    ScriptedServer server;
    server.HoldUntilClientCloses();
    SilentPeer silent(kSilent, server.Port());
    server.Start();
    answer = c.addresses;
    TNetTCPClient client;
    client.Host = "shop.example";
    client.Port = server.Port();
    client.Resolver = StandInLookup;
    client.AddressTimeout = c.addressTimeout;
    client.InactivityTimeout = c.inactivityTimeout;
    std::vector<std::string> tried;
    RecordTried(client, tried);
    if (c.error == 0) {
      client.OpenConnection();
      EXPECT_EQ(client.Binding().PeerIP, "127.0.0.1") << c.what;
      client.CloseConnection();
    } else {
      const auto failure = Thrown<ENetSocketError>([&] { client.OpenConnection(); });
      ASSERT_TRUE(failure.has_value()) << c.what;
      EXPECT_EQ(failure->Code, c.error) << c.what;
      EXPECT_FALSE(client.IsOpen()) << c.what;
      Unblock(server.Port());
    }
    server.Join();
    EXPECT_EQ(tried, c.tried) << c.what;
  }
}

// The lookup, the connect and the TLS handshake return to the idle pump while they wait, as
// every other wait for the network does, so the windows and the session's end are answered; a
// pump that throws (the program leaving) ends the wait at once.
TEST(TcpAddresses, TheLookupTheConnectAndTheHandshakeKeepPumping) {
  struct Leaving {};
  for (const bool leave : {false, true}) {
    for (const std::string host : {"stalled.example", "shop.example", "127.0.0.1"}) {  // the last: silent TLS
      SCOPED_TRACE(host + (leave ? ", leaving" : ""));
      ScriptedServer server;
      SilentPeer silent(kSilent, server.Port());
      server.HoldUntilClientCloses();
      server.Start();
      answer = {kSilent};
      state.released = false;
      int pumps = 0, left = 0;
      TNetIdlePump pump;
      pump.IdleTimeOut = 20;
      pump.ProcessMessages = [&](bool) {
        if (++pumps == 3 && leave) throw Leaving{};
      };
      TNetTCPClient client;
      client.Host = host;
      client.Port = server.Port();
      client.UseTLS = tlsImplicit;
      client.Resolver = host == "stalled.example" ? ScriptedResolver : StandInLookup;
      client.InactivityTimeout = 400;
      try {
        client.OpenConnection();
      } catch (const ENetSocketError& e) {
        EXPECT_EQ(e.Code, 10060);
      } catch (const Leaving&) {
        ++left;
      }
      EXPECT_EQ(std::make_tuple(left, pumps >= 10, client.IsOpen()), std::make_tuple(int(leave), !leave, false));
      LetStalledLookupsEnd();
      if (host != "127.0.0.1") Unblock(server.Port());
    }
  }
}

// A name with IPv4 and IPv6 addresses: the IPv4 one first, then IPv6, whose connection
// carries the protocol like any other.
TEST(TcpAddresses, IPv6AfterIPv4) {
  std::unique_ptr<ScriptedServer> server;
  try {
    server = std::make_unique<ScriptedServer>("::1");
  } catch (const std::runtime_error& e) {
    GTEST_SKIP() << "this machine has no ::1: " << e.what();
  }
  server->Send("+OK over IPv6\r\n").Expect("QUIT").Send("+OK bye\r\n");
  server->Start();
  answer = {"::1", kRefusing};
  TNetTCPClient client;
  client.Host = "shop.example";
  client.Port = server->Port();
  client.Resolver = StandInLookup;
  std::vector<std::string> tried;
  RecordTried(client, tried);
  client.OpenConnection();
  EXPECT_EQ(client.Binding().PeerIP, "::1");
  EXPECT_EQ(client.Binding().IP, "::1");
  EXPECT_EQ(client.ReadLine(), "+OK over IPv6");
  EXPECT_EQ(client.SendCommand("QUIT", 1), 1);
  client.CloseConnection();
  server->Join();
  EXPECT_TRUE(server->Failures().empty()) << server->Failures().front();
  EXPECT_EQ(tried, (std::vector<std::string>{"Connecting to 127.0.0.2.", "Connecting to ::1."}));
}

// Address literals as hosts connect without a lookup.
TEST(TcpAddresses, LiteralHosts) {
  for (const char* host : {"127.0.0.1", "::1", "[::1]"}) {
    const std::string ip = host[0] == '1' ? "127.0.0.1" : "::1";
    std::unique_ptr<ScriptedServer> server;
    try {
      server = std::make_unique<ScriptedServer>(ip);
    } catch (const std::runtime_error& e) {
      std::printf("skipped %s: this machine has no %s (%s)\n", host, ip.c_str(), e.what());
      continue;
    }
    server->Send("+OK hello\r\n");
    server->Start();
    TNetTCPClient client;
    client.Host = host;
    client.Port = server->Port();
    client.Resolver = [](const std::string&, std::vector<std::string>&) {
      ADD_FAILURE() << "a literal was looked up";
      return false;
    };
    client.OpenConnection();
    EXPECT_EQ(client.Binding().PeerIP, ip) << host;
    EXPECT_EQ(client.ReadLine(), "+OK hello") << host;
    client.CloseConnection();
    server->Join();
  }
}

}  // namespace

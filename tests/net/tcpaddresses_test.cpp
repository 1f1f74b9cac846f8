// From a host to a connection. The lookup, with stand-in resolvers (ones that answer, one
// that fails, one that does not come back until the test lets it): its time limit, the
// order of its addresses, and literals that need none. The connect, through a stand-in
// lookup: the addresses are tried in turn (IPv4 first), a refusal moves on at once, a
// silent address after the per-address limit, and the whole connect ends at the inactivity
// limit. Refusing and silent peers are loopback addresses at the scripted server's port:
// 127.0.0.2 has no listener there, 127.0.0.3 one whose queue of pending connections is full.
#include "net/tcpclient.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "base/netexceptions.h"
#include "net/netstack.h"
#include "platform/socket.h"
#include "support/scripted_server.h"
#include "thrown.h"

using testing_support::ScriptedServer;

namespace {

constexpr const char* kRefusing = "127.0.0.2";
constexpr const char* kSilent = "127.0.0.3";

struct ResolverState {
  std::mutex mutex;
  std::condition_variable changed;
  bool released = false;
  int calls = 0;
  int running = 0;
  std::thread::id thread;
};
ResolverState state;

void Called() {
  std::lock_guard<std::mutex> lock(state.mutex);
  ++state.calls;
  state.thread = std::this_thread::get_id();
}

bool Answering(const std::string&, std::vector<std::string>& addresses) {
  Called();
  addresses = {"10.9.8.7"};
  return true;
}

// IPv6 and IPv4 addresses mixed, as a dual-stack name answers.
bool AnsweringMixed(const std::string&, std::vector<std::string>& addresses) {
  Called();
  addresses = {"2001:db8::1", "10.0.0.2", "2001:db8::2", "10.0.0.1"};
  return true;
}

bool Failing(const std::string&, std::vector<std::string>&) {
  Called();
  platform::SetLastSocketError(platform::kSocketErrorHostNotFound);
  return false;
}

// Stalls until released (at most 10 s, so that a broken test cannot hang the run).
bool Stalled(const std::string&, std::vector<std::string>& addresses) {
  Called();
  std::unique_lock<std::mutex> lock(state.mutex);
  ++state.running;
  state.changed.wait_for(lock, std::chrono::seconds(10), [] { return state.released; });
  --state.running;
  state.changed.notify_all();
  addresses = {"10.0.0.1"};
  return true;
}

TEST(HostLookup, LimitAnswersAndFailures) {
  const struct {
    const char* what;
    const char* host;
    THostResolver resolver;
    int timeoutMs;
    std::vector<std::string> addresses;  // empty: fails with the error
    int error;
    int calls;
    bool ownThread;  // the lookup ran in a thread of its own
  } cases[] = {
      {"answer within the limit", "mail.example", Answering, 5000, {"10.9.8.7"}, 0, 1, true},
      {"answer without a limit", "mail.example", Answering, 0, {"10.9.8.7"}, 0, 1, false},
      {"IPv4 first, each family in the lookup's order", "mail.example", AnsweringMixed, 5000,
       {"10.0.0.2", "10.0.0.1", "2001:db8::1", "2001:db8::2"}, 0, 1, true},
      {"IPv4 first without a limit", "mail.example", AnsweringMixed, 0,
       {"10.0.0.2", "10.0.0.1", "2001:db8::1", "2001:db8::2"}, 0, 1, false},
      {"failure within the limit", "mail.example", Failing, 5000, {}, 11001, 1, true},
      {"failure without a limit", "mail.example", Failing, -1, {}, 11001, 1, false},
      {"stalled lookup ends at the limit", "mail.example", Stalled, 50, {}, 10060, 1, true},
      {"LOCALHOST needs no lookup", "localhost", Stalled, 50, {"127.0.0.1"}, 0, 0, false},
      {"a dotted address needs no lookup", "10.1.2.3", Failing, 50, {"10.1.2.3"}, 0, 0, false},
      {"an IPv6 address needs no lookup", "::1", Failing, 50, {"::1"}, 0, 0, false},
      {"an IPv6 address in brackets loses them", "[2001:db8::5]", Failing, 50, {"2001:db8::5"}, 0, 0, false},
      {"brackets around a name are no address", "[mail.example]", Failing, 50, {}, 11001, 1, true},
  };
  for (const auto& c : cases) {
    {
      std::lock_guard<std::mutex> lock(state.mutex);
      state.released = false;
      state.calls = 0;
      state.thread = {};
    }
    auto lookUp = [&] { return LookUpHost(c.host, c.timeoutMs, c.resolver); };
    if (!c.addresses.empty()) {
      EXPECT_EQ(lookUp(), c.addresses) << c.what;
    } else {
      const auto failure = Thrown<ENetSocketError>(lookUp);
      ASSERT_TRUE(failure.has_value()) << c.what;
      EXPECT_EQ(failure->Code, c.error) << c.what;
    }
    std::unique_lock<std::mutex> lock(state.mutex);
    // The stalled lookup is still running after the caller gave up; let it end.
    state.released = true;
    state.changed.notify_all();
    state.changed.wait_for(lock, std::chrono::seconds(10), [] { return state.running == 0; });
    EXPECT_EQ(state.calls, c.calls) << c.what;
    if (c.calls > 0) {
      EXPECT_EQ(state.thread != std::this_thread::get_id(), c.ownThread) << c.what;
    }
  }
}

// The addresses the stand-in lookup answers for the connect; none: no lookup may happen.
std::vector<std::string> answer;

bool StandInLookup(const std::string& host, std::vector<std::string>& addresses) {
  if (answer.empty()) ADD_FAILURE() << "a literal was looked up: " << host;
  addresses = answer;
  return !answer.empty();
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

TEST(TcpAddresses, EachAddressInTurnWithinTheLimits) {
  const std::string shop = "shop.example";
  const struct {
    const char* what;
    std::string host;
    std::vector<std::string> addresses;  // what the lookup answers
    int addressTimeout;
    int inactivityTimeout;
    std::vector<std::string> tried;
    std::string peer;  // where the server listens and the client ends up; "" when it fails
    int error;
  } cases[] = {
      {"the first refuses: the second at once", shop, {kRefusing, "127.0.0.1"}, 30000, 30000,
       {"127.0.0.2", "127.0.0.1"}, "127.0.0.1", 0},
      {"the first is silent: the second after the address limit", shop, {kSilent, "127.0.0.1"}, 300, 30000,
       {"127.0.0.3", "127.0.0.1"}, "127.0.0.1", 0},
      {"the first answers: no other is tried", shop, {"127.0.0.1", kRefusing}, 300, 30000, {"127.0.0.1"},
       "127.0.0.1", 0},
      {"all refuse: the last refusal", shop, {kRefusing, "127.0.0.4"}, 300, 30000, {"127.0.0.2", "127.0.0.4"}, "",
       10061},
      {"the inactivity limit ends the whole connect", shop, {kSilent, kSilent, "127.0.0.1"}, 300, 500,
       {"127.0.0.3", "127.0.0.3"}, "", 10060},
      {"IPv6 after IPv4, carrying the protocol like any other", shop, {"::1", kRefusing}, 30000, 30000,
       {"127.0.0.2", "::1"}, "::1", 0},
      {"an IPv4 literal needs no lookup", "127.0.0.1", {}, 30000, 30000, {"127.0.0.1"}, "127.0.0.1", 0},
      {"an IPv6 literal needs no lookup", "::1", {}, 30000, 30000, {"::1"}, "::1", 0},
      {"an IPv6 literal in brackets loses them", "[::1]", {}, 30000, 30000, {"::1"}, "::1", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string serverIp = c.peer.empty() ? "127.0.0.1" : c.peer;
    std::unique_ptr<ScriptedServer> server;
    try {
      server = std::make_unique<ScriptedServer>(serverIp);
    } catch (const std::runtime_error& e) {
      std::printf("skipped \"%s\": this machine has no %s (%s)\n", c.what, serverIp.c_str(), e.what());
      continue;
    }
    server->Send("+OK hello\r\n");
    if (!c.peer.empty()) server->Expect("QUIT").Send("+OK bye\r\n");
    server->HoldUntilClientCloses();
    std::optional<SilentPeer> silent;
    if (std::find(c.addresses.begin(), c.addresses.end(), kSilent) != c.addresses.end())
      silent.emplace(kSilent, server->Port());
    server->Start();
    answer = c.addresses;
    TNetTCPClient client;
    client.Host = c.host;
    client.Port = server->Port();
    client.Resolver = StandInLookup;
    client.AddressTimeout = c.addressTimeout;
    client.InactivityTimeout = c.inactivityTimeout;
    std::vector<std::string> tried;
    client.OnStatus = [&tried](TNetComponent*, TNetStatus status, const std::string& text) {
      if (status == nsConnecting) tried.push_back(text);
    };
    if (!c.peer.empty()) {
      client.OpenConnection();
      EXPECT_EQ(client.Binding().PeerIP, c.peer);
      EXPECT_EQ(client.Binding().IP, c.peer);
      EXPECT_EQ(client.ReadLine(), "+OK hello");
      EXPECT_EQ(client.SendCommand("QUIT", 1), 1);
      client.CloseConnection();
    } else {
      const auto failure = Thrown<ENetSocketError>([&] { client.OpenConnection(); });
      ASSERT_TRUE(failure.has_value());
      EXPECT_EQ(failure->Code, c.error);
      EXPECT_FALSE(client.IsOpen());
      // The server still waits for the client that never came.
      TNetTCPClient unblock;
      unblock.Host = "127.0.0.1";
      unblock.Port = server->Port();
      unblock.OpenConnection();
      unblock.CloseConnection();
    }
    server->Join();
    if (!c.peer.empty()) {
      EXPECT_TRUE(server->Failures().empty()) << server->Failures().front();
    }
    std::vector<std::string> expected;
    for (const std::string& ip : c.tried) expected.push_back("Connecting to " + ip + ".");
    EXPECT_EQ(tried, expected);
  }
}

}  // namespace

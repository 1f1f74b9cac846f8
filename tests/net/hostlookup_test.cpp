// The host lookup's time limit and the order of its addresses, with stand-in resolvers:
// ones that answer, one that fails, one that does not come back until the test lets it.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/netexceptions.h"
#include "net/netstack.h"
#include "platform/socket.h"
#include "thrown.h"

namespace {

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
    if (c.calls > 0) EXPECT_EQ(state.thread != std::this_thread::get_id(), c.ownThread) << c.what;
  }
}

}  // namespace

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "platform/application.h"

namespace {

using namespace std::chrono_literals;

// The loop is one per process and ends for good: one test drives it through a whole run.
TEST(MessageLoop, TimersTickUntilKilledPostedWorkRunsFirstAndTicksNeverNest) {
  std::vector<std::string> events;
  // A handler that pumps messages while it waits (as network calls do) must not be
  // entered again by its own timer.
  int depth = 0, maxDepth = 0, pumpTicks = 0;
  platform::TimerId pump = platform::StartTimer(5ms, [&] {
    maxDepth = std::max(maxDepth, ++depth);
    if (++pumpTicks <= 2) {
      auto until = std::chrono::steady_clock::now() + 40ms;
      while (std::chrono::steady_clock::now() < until) platform::ProcessMessages();
    }
    --depth;
  });
  int ticks = 0;
  platform::TimerId slow = 0;
  platform::TimerId fast = platform::StartTimer(10ms, [&] {
    events.push_back("fast");
    if (++ticks >= 3 && pumpTicks >= 2) {
      platform::KillTimer(fast);
      platform::Terminate();
    }
  });
  slow = platform::StartTimer(10000ms, [&] { events.push_back("slow"); });
  platform::PostWork([&] { events.push_back("posted"); });
  platform::RunMessageLoop();
  platform::KillTimer(slow);
  platform::KillTimer(pump);
  EXPECT_EQ(maxDepth, 1);
  EXPECT_GE(pumpTicks, 2);
  ASSERT_GE(events.size(), 4u);
  EXPECT_EQ(events[0], "posted");
  EXPECT_EQ(std::count(events.begin(), events.end(), "fast"), ticks);
  EXPECT_GE(ticks, 3);
  EXPECT_EQ(std::count(events.begin(), events.end(), "slow"), 0);
  EXPECT_TRUE(platform::Terminated());
}

// Only the outermost loop runs a release, once every handler on the stack has returned: not a pump inside posted
// work or a timer tick (the windows' handlers and modal loops are marked likewise).
TEST(Releases, RunOnlyOnceNoHandlerIsOnTheStack) {
  platform::ReopenMessageLoop();  // after the whole run above
  for (const bool inTick : {false, true}) {
    SCOPED_TRACE(inTick);
    bool released = false, releasedInside = true, done = false;
    platform::TimerId tick = 0;
    auto askAndPump = [&] {  // posts the asking work and pumps, as a handler waiting on the network does
      platform::KillTimer(tick);
      platform::PostWork([&] { platform::ReleaseWhenUnwound([&] { released = true; }); });
      for (int i = 0; i < 3; ++i) platform::ProcessMessages();
      releasedInside = released;
      done = true;
    };
    inTick ? void(tick = platform::StartTimer(1ms, askAndPump)) : platform::PostWork(askAndPump);
    for (auto until = std::chrono::steady_clock::now() + 5s; !done && std::chrono::steady_clock::now() < until;)
      platform::ProcessMessages();
    EXPECT_FALSE(releasedInside);
    platform::ProcessMessages();  // back at the outermost level
    EXPECT_TRUE(released);
  }
}

}  // namespace

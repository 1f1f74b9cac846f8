#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
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


// Where a release is asked for, and whether a pump inside the same handler may run it: only
// the outermost loop frees, once every handler on the stack has returned.
TEST(Releases, RunOnlyOnceNoHandlerIsOnTheStack) {
  struct Row {
    const char* name;
    // Asks for the release (through ask) and pumps; returns whether it ran meanwhile.
    std::function<bool(const std::function<void()>& ask, const bool& released)> scenario;
    bool releasedInside;
  };
  const Row rows[] = {
      {"asked outside every handler",
       [](auto& ask, const bool& released) {
         ask();
         platform::ProcessMessages();
         return released;
       },
       true},
      {"asked by posted work that then pumps",
       [](auto& ask, const bool& released) {
         bool sawRelease = true;
         platform::PostWork([&] {
           ask();
           platform::ProcessMessages();
           sawRelease = released;
         });
         platform::ProcessMessages();
         return sawRelease;
       },
       false},
      {"asked by a timer tick whose pump runs posted work",
       [](auto& ask, const bool& released) {
         bool sawRelease = true, ticked = false;
         platform::TimerId id = 0;
         id = platform::StartTimer(1ms, [&] {
           platform::KillTimer(id);
           ticked = true;
           platform::PostWork(ask);
           for (int i = 0; i < 3; ++i) platform::ProcessMessages();
           sawRelease = released;
         });
         auto until = std::chrono::steady_clock::now() + 5s;
         while (!ticked && std::chrono::steady_clock::now() < until) platform::ProcessMessages();
         return sawRelease;
       },
       false},
      {"asked inside a marked handler (a modal window's loop)",
       [](auto& ask, const bool& released) {
         platform::HandlerScope modal;
         ask();
         platform::ProcessMessages();
         return released;
       },
       false},
  };
  platform::ReopenMessageLoop();  // after the whole run above
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    bool released = false;
    auto ask = [&] { platform::ReleaseWhenUnwound([&] { released = true; }); };
    EXPECT_EQ(row.scenario(ask, released), row.releasedInside);
    platform::ProcessMessages();  // back at the outermost level
    EXPECT_TRUE(released);
  }
}

}  // namespace

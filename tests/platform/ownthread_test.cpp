// Work on a thread of its own: what it owns is let go of by the time its result is returned
// (a certificate copy must not outlive the connection it came from); work given up on at the
// limit keeps what it owns until it ends by itself.
#include "platform/ownthread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

TEST(OwnThread, WhatTheWorkOwnsIsReleasedWithItsResultOrWhenItEndsAfterTheLimit) {
  for (const bool inTime : {true, false}) {
    SCOPED_TRACE(inTime ? "in time" : "given up at the limit");
    auto owned = std::make_shared<int>(7);
    std::atomic<bool> go{inTime};
    auto result = platform::RunOnOwnThread<int>(
        [owned, &go] {
          while (!go) std::this_thread::sleep_for(std::chrono::milliseconds(1));
          return *owned;
        },
        inTime ? 10000 : 20, 0, nullptr);
    EXPECT_EQ(result.has_value(), inTime);
    if (inTime) {
      EXPECT_EQ(*result, 7);
      EXPECT_EQ(owned.use_count(), 1);  // the worker's copy is gone already
      continue;
    }
    EXPECT_EQ(owned.use_count(), 2);  // still the worker's
    go = true;
    for (int i = 0; i < 10000 && owned.use_count() > 1; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(owned.use_count(), 1);
  }
}

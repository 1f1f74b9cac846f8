#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "platform/instance.h"
#include "support/testing.h"

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;

TEST(FolderLock, OneHolderPerFolderOthersFreeReleasedWithItsHolder) {
  testing_support::ScopedTempDir dir;
  fs::create_directories("shop/a");
  fs::create_directories("shop/b");
  const std::string a = fs::absolute("shop/a").string(), b = fs::absolute("shop/b").string();
  auto first = std::make_unique<platform::FolderLock>(a);
  EXPECT_TRUE(first->Held());
  EXPECT_FALSE(platform::FolderLock(a).Held());  // a second program in the same folder
  EXPECT_TRUE(platform::FolderLock(b).Held());   // another shop's folder
#ifdef _WIN32
  // The same folder spelt in other case is the same folder on Windows.
  std::string upper = a;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  EXPECT_FALSE(platform::FolderLock(upper).Held());
#endif
  first.reset();
  EXPECT_TRUE(platform::FolderLock(a).Held());
}

#ifndef _WIN32
TEST(FolderLock, AProcessThatDiesHoldingTheLockDoesNotBlockTheNextStart) {
  testing_support::ScopedTempDir dir;
  const std::string folder = fs::current_path().string();
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    platform::FolderLock lock(folder);
    char held = lock.Held() ? 1 : 0;
    if (write(ready[1], &held, 1) != 1) _exit(3);
    pause();  // killed below, without any clean-up
    _exit(0);
  }
  char held = 0;
  ASSERT_EQ(read(ready[0], &held, 1), 1);
  EXPECT_EQ(held, 1);
  EXPECT_FALSE(platform::FolderLock(folder).Held());
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  EXPECT_TRUE(platform::FolderLock(folder).Held());
  close(ready[0]);
  close(ready[1]);
}
#endif

}  // namespace

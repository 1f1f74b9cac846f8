#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "platform/instance.h"
#include "support/testing.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;

TEST(FolderLock, OneHolderPerFolderOthersFreeReleasedWithItsHolder) {
  testing_support::ScopedTempDir dir;
  fs::create_directories("shop/a long name");
  fs::create_directories("shop/b");
  const std::string a = fs::absolute("shop/a long name").string(), b = fs::absolute("shop/b").string();
  auto first = std::make_unique<platform::FolderLock>(a);
  EXPECT_TRUE(first->Held());
  EXPECT_TRUE(platform::FolderLock(b).Held());  // another shop's folder
  // A second program in the same folder, however it spells the folder.
#ifdef _WIN32
  std::string upper = a, shortName(MAX_PATH, '\0');
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  shortName.resize(GetShortPathNameA(a.c_str(), shortName.data(), MAX_PATH));
  EXPECT_NE(shortName, a);
  const std::string spellings[] = {a, upper, shortName, a + "\\.\\"};
#else
  fs::create_directory_symlink(a, "link");
  const std::string spellings[] = {a, fs::absolute("link").string(), a + "/./"};
#endif
  for (const std::string& spelling : spellings)
    EXPECT_FALSE(!fs::is_directory(spelling) || platform::FolderLock(spelling).Held()) << spelling;
  first.reset();
  EXPECT_TRUE(platform::FolderLock(a).Held());
}

#ifdef _WIN32
// A program whose mutex this one cannot see (another session's, another machine's on a
// network share) still holds the lock file; the lock file goes with its holder.
TEST(FolderLock, TheLockFileHeldElsewhereRefusesAndIsRemovedWithItsHolder) {
  testing_support::ScopedTempDir dir;
  const std::string folder = fs::current_path().string();
  const HANDLE other = CreateFileA("Vendlume.lock", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
  EXPECT_FALSE(platform::FolderLock(folder).Held());
  CloseHandle(other);
  EXPECT_TRUE(platform::FolderLock(folder).Held());  // the refused lock let its mutex go
  EXPECT_FALSE(testing_support::FileExists("Vendlume.lock"));
}
#endif

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

#include <gtest/gtest.h>

#include <cstdint>
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

TEST(FolderMutexName, NamedByVolumeAndFolderAloneInAllSessionsOrOne) {
  struct Case {
    const char* nameSpace;
    std::uint32_t serial;
    std::uint64_t index;
    const char* name;
  };
  const Case cases[] = {
      {"Global", 0x1234abcdu, 0x0001000000000005ull, "Global\\Vendlume-1234ABCD-0001000000000005"},
      {"Local", 0x1234abcdu, 0x0001000000000005ull, "Local\\Vendlume-1234ABCD-0001000000000005"},
      {"Global", 0, 0, "Global\\Vendlume-00000000-0000000000000000"},
      {"Global", 0xffffffffu, 0xffffffffffffffffull, "Global\\Vendlume-FFFFFFFF-FFFFFFFFFFFFFFFF"},
      // Folders whose indexes differ only in the high word (another folder of a big volume).
      {"Global", 7, 0x0000000100000005ull, "Global\\Vendlume-00000007-0000000100000005"},
      {"Global", 7, 0x0000000200000005ull, "Global\\Vendlume-00000007-0000000200000005"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string name = platform::FolderMutexName(c.nameSpace, c.serial, c.index);
    EXPECT_EQ(name, c.name);
    EXPECT_LE(name.size(), 260u);  // MAX_PATH, the limit of a kernel object's name
    EXPECT_EQ(name.find('\\', std::string(c.nameSpace).size() + 1), std::string::npos);
  }
}

#ifdef _WIN32
// The folder's path as Wine's drive Z: (the root of the host's file system) spells it, or
// nothing outside Wine.
std::string ThroughDriveZ(const std::string& windowsPath) {
  using UnixName = char*(__cdecl*)(const wchar_t*);
  const auto unixName = reinterpret_cast<UnixName>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (!unixName) return "";
  const std::wstring wide(windowsPath.begin(), windowsPath.end());
  char* name = unixName(wide.c_str());
  if (!name) return "";
  std::string z = "Z:" + std::string(name);
  HeapFree(GetProcessHeap(), 0, name);
  for (char& c : z) c = c == '/' ? '\\' : c;
  return z;
}

std::string ShortName(const std::string& path) {
  char name[MAX_PATH];
  const DWORD length = GetShortPathNameA(path.c_str(), name, MAX_PATH);
  return length > 0 && length < MAX_PATH ? std::string(name, length) : "";
}

// A program whose mutex this one cannot see (another session's where this user may make
// none of all sessions, another machine's on a network share) still holds the lock file.
TEST(FolderLock, TheLockFileHeldElsewhereRefusesAndTheMutexIsLetGo) {
  testing_support::ScopedTempDir dir;
  const std::string folder = fs::current_path().string();
  const HANDLE other = CreateFileA((folder + "\\Vendlume.lock").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                   OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(other, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(platform::FolderLock(folder).Held());
  CloseHandle(other);
  {
    platform::FolderLock lock(folder);
    EXPECT_TRUE(lock.Held());
  }
  EXPECT_FALSE(testing_support::FileExists("Vendlume.lock"));  // gone with its holder
}
#endif

TEST(FolderLock, AnotherSpellingOfTheSameFolderIsTheSameFolder) {
  testing_support::ScopedTempDir dir;
  fs::create_directories("shop folder of a long name");
  const std::string folder = fs::absolute("shop folder of a long name").string();
#ifdef _WIN32
  const std::string spellings[] = {ThroughDriveZ(folder), ShortName(folder), folder + "\\.\\"};
#else
  fs::create_directory_symlink(folder, "link");
  const std::string spellings[] = {fs::absolute("link").string(), folder + "/./"};
#endif
  platform::FolderLock first(folder);
  ASSERT_TRUE(first.Held());
  int tried = 0;
  for (const std::string& spelling : spellings) {
    if (spelling.empty() || spelling == folder) continue;
    SCOPED_TRACE(spelling);
    ++tried;
    ASSERT_TRUE(fs::is_directory(spelling));
    EXPECT_FALSE(platform::FolderLock(spelling).Held());
  }
  EXPECT_GE(tried, 2);
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

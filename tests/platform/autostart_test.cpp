// The Run key's command, and the change to the program's folder its argument asks for.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/autostart.h"
#include "platform/system.h"
#include "support/testing.h"

TEST(Autostart, TheCommandQuotesThisProgramsFullPathAndTheFolderBecomesCurrent) {
  const std::string folder = platform::ProgramFolder();
  const std::string file = std::filesystem::path::preferred_separator == '/' ? "/test_platform" : "\\test_platform.exe";
  EXPECT_EQ(platform::AutostartCommand(), "\"" + folder + file + "\" " + platform::kAutostartArgument);
  testing_support::ScopedTempDir dir;  // somewhere else, as at logon
  EXPECT_FALSE(platform::ChangeCurrentDirectory(folder + "/no such folder"));
  EXPECT_TRUE(platform::ChangeCurrentDirectory(folder));
  EXPECT_TRUE(std::filesystem::equivalent(platform::CurrentDirectory(), folder));
}

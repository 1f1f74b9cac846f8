// What the Run key's command names, and the change to the program's folder that the
// command's argument asks for.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/autostart.h"
#include "platform/system.h"

namespace {

namespace fs = std::filesystem;

TEST(Autostart, TheCommandQuotesThisProgramsFullPathAndTheFolderBecomesCurrent) {
  const std::string folder = platform::ProgramFolder();
  const std::string command = platform::AutostartCommand();
  ASSERT_GT(command.size(), folder.size() + 14);
  const char separator = fs::path::preferred_separator == '/' ? '/' : '\\';
  EXPECT_EQ(command.substr(0, folder.size() + 2), "\"" + folder + separator) << command;
  const std::string suffix = std::string("\" ") + platform::kAutostartArgument;
  EXPECT_EQ(command.substr(command.size() - suffix.size()), suffix);
  // The program file sits between: this test program.
  const std::string file = command.substr(folder.size() + 2, command.size() - suffix.size() - folder.size() - 2);
  EXPECT_EQ(file.rfind("test_platform", 0), 0u) << file;
  EXPECT_TRUE(fs::is_regular_file(folder + "/" + file)) << file;

  const std::string before = platform::CurrentDirectory();
  struct Case {
    std::string folder;
    bool changes;
  } cases[] = {{folder, true}, {folder + "/no such folder", false}, {before, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.folder);
    const std::string was = platform::CurrentDirectory();
    EXPECT_EQ(platform::ChangeCurrentDirectory(c.folder), c.changes);
    EXPECT_TRUE(fs::equivalent(platform::CurrentDirectory(), c.changes ? c.folder : was));
  }
}

}  // namespace

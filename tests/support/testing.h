// Helpers shared by the tests.
#pragma once
#include <string>
#include <string_view>

namespace testing_support {

// A fresh empty folder that becomes the process's current directory for the test's life;
// the previous directory is restored and the folder removed afterwards.
class ScopedTempDir {
 public:
  ScopedTempDir();
  ~ScopedTempDir();
  ScopedTempDir(const ScopedTempDir&) = delete;
  ScopedTempDir& operator=(const ScopedTempDir&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string previous_;
  std::string path_;
};

// The file's bytes ("" when it does not exist).
std::string ReadAll(const std::string& path);
void WriteAll(const std::string& path, std::string_view bytes);
bool FileExists(const std::string& path);

// Shift-JIS bytes shown as UTF-8 in failure messages.
std::string Show(std::string_view sjis);

// The source tree (for checked-in test data).
std::string SourceDir();

}  // namespace testing_support

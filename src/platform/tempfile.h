// Temporary files in the system's temporary folder.
#pragma once
#include <cstdio>
#include <string>
#include <string_view>

namespace platform {

// A new, empty file with a unique name that begins with the prefix, created in the system's
// temporary folder (GetTempPath on Windows; $TMPDIR or /tmp elsewhere) and open for writing.
// The owner closes the file when it goes; the file itself stays on disk.
class TempFile {
 public:
  explicit TempFile(const std::string& prefix);
  ~TempFile();
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  // False when the file could not be created; Path() then names what was tried.
  bool IsOpen() const { return file_ != nullptr; }
  const std::string& Path() const { return path_; }
  // False when writing fails or the file is not open.
  bool Write(std::string_view bytes);
  // False when the last buffered bytes could not be written.
  bool Close();

 private:
  std::FILE* file_ = nullptr;
  std::string path_;
};

}  // namespace platform

#include "platform/tempfile.h"

#include <windows.h>

namespace platform {

TempFile::TempFile(const std::string& prefix) {
  char folder[MAX_PATH + 1] = {};
  DWORD n = GetTempPathA(sizeof folder, folder);
  if (n == 0 || n > MAX_PATH) return;
  path_ = std::string(folder, n) + prefix;
  // GetTempFileName creates the file (empty) under a name no other caller gets.
  char name[MAX_PATH + 1] = {};
  if (GetTempFileNameA(folder, prefix.c_str(), 0, name) == 0) return;
  path_ = name;
  file_ = std::fopen(name, "wb");
  if (!file_) DeleteFileA(name);  // a file the caller cannot use must not stay behind
}

}  // namespace platform

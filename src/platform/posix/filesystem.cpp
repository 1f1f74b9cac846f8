#include "platform/filesystem.h"

#include <cstdio>

#include <sys/stat.h>
#include <unistd.h>

namespace platform {

bool RenameReplacing(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}

bool IsReadOnlyFile(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return false;
  // A file without any write permission bit is read-only even for the superuser, whom
  // access() always lets write.
  return (st.st_mode & 0222) == 0 || access(path.c_str(), W_OK) != 0;
}

}  // namespace platform

#include "platform/tempfile.h"

#include <stdlib.h>
#include <unistd.h>

namespace platform {

TempFile::TempFile(const std::string& prefix) {
  const char* dir = getenv("TMPDIR");
  std::string folder = dir && *dir ? dir : "/tmp";
  if (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  path_ = folder + "/" + prefix + "XXXXXX";
  int fd = mkstemp(path_.data());
  if (fd < 0) return;
  file_ = fdopen(fd, "wb");
  if (!file_) {
    close(fd);
    unlink(path_.c_str());  // a file the caller cannot use must not stay behind
  }
}

}  // namespace platform

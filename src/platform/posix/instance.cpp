#include "platform/instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace platform {

FolderLock::FolderLock(const std::string& folder) {
  std::string path = folder + "/Vendlume.lock";
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return;
  // flock locks belong to the open file: a second open of the file, in this process or
  // another, does not get it, and the system drops it when the process ends.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    close(fd);
    return;
  }
  file_ = fd;
  held_ = true;
}

FolderLock::~FolderLock() {
  if (held_) close(static_cast<int>(file_));
}

}  // namespace platform

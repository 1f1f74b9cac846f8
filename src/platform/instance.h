// One running program per folder: the lock is held for the life of the object and is
// released by the system when the process ends, also when it crashes.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

namespace platform {

class FolderLock {
 public:
  // Tries to take the lock of the folder (Windows: a named mutex keyed by the folder's
  // path, regardless of case; posix: an exclusive lock on the file "Vendlume.lock" in it).
  explicit FolderLock(const std::string& folder);
  ~FolderLock();
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

  // False when another holder (another process, or another lock of this one) has it.
  bool Held() const { return held_; }

 private:
  bool held_ = false;
  std::intptr_t handle_ = -1;
};

}  // namespace platform

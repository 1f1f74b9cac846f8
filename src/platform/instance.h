// One running program per folder: the lock is held for the life of the object and is
// released by the system when the process ends, also when it crashes.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

class FolderLock {
 public:
  // Tries to take the lock of the folder, whatever spelling names it. Posix: an exclusive
  // lock on the file "Vendlume.lock" in it. Windows: a mutex named from the folder's
  // identity on its volume (FolderMutexName), in the namespace of all sessions where this
  // user may make one there, else of this session; and "Vendlume.lock" in the folder held
  // open without sharing (and removed with the lock), which also holds off a program of
  // another session or another machine on a network share.
  explicit FolderLock(const std::string& folder);
  ~FolderLock();
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

  // False when another holder (another process, or another lock of this one) has it.
  bool Held() const { return held_; }

 private:
  bool held_ = false;
  std::intptr_t file_ = -1;
  [[maybe_unused]] std::intptr_t mutex_ = -1;  // Windows only
};

// The mutex name of the folder with the file index on the volume with the serial number,
// in the namespace ("Global" or "Local"): the same for every spelling of the folder (drive
// letter, short name, network path).
std::string FolderMutexName(std::string_view nameSpace, std::uint32_t volumeSerial, std::uint64_t fileIndex);

}  // namespace platform

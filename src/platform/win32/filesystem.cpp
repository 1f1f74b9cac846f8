#include "platform/filesystem.h"

#include <windows.h>

#include <utility>

namespace platform {

namespace {

// Two seconds in short slices: long enough for a program that opened the file for a
// moment (a virus scanner, a backup) to let go, short enough not to hold the cycle.
constexpr unsigned kRetrySliceMs = 50;
constexpr unsigned kRetryTotalMs = 2000;

RetryWait& CurrentRetryWait() {
  static RetryWait wait;
  return wait;
}

void WaitSlice() {
  const RetryWait& wait = CurrentRetryWait();
  if (wait) {
    wait(kRetrySliceMs);
  } else {
    Sleep(kRetrySliceMs);
  }
}

// The failures of a rename whose target another program holds open without sharing
// deletion; a read-only target is refused before the rename is tried.
bool HeldByAnotherProgram(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED || error == ERROR_LOCK_VIOLATION;
}

}  // namespace

RetryWait SetRenameRetryWait(RetryWait wait) { return std::exchange(CurrentRetryWait(), std::move(wait)); }

bool RenameReplacing(const std::string& from, const std::string& to) {
  for (unsigned waited = 0;; waited += kRetrySliceMs) {
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    if (!HeldByAnotherProgram(GetLastError()) || waited >= kRetryTotalMs) return false;
    WaitSlice();
  }
}

bool IsReadOnlyFile(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

bool FlushFileToDisk(const std::string& path) {
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool flushed = FlushFileBuffers(file) != 0;
  return CloseHandle(file) != 0 && flushed;
}

// RenameReplacing writes the rename through (MOVEFILE_WRITE_THROUGH); a folder cannot be
// opened for FlushFileBuffers without backup privileges.
bool FlushFolderOf(const std::string&) { return true; }

}  // namespace platform

#include "platform/instance.h"

#include <windows.h>

#include "platform/win32/widetext.h"

namespace platform {

namespace {

// The folder's identity on its volume, the same through every path that reaches it. A
// folder opens only with backup semantics; no access right is needed to read it.
bool FolderIdentity(const std::wstring& folder, std::uint32_t& volumeSerial, std::uint64_t& fileIndex) {
  const HANDLE handle = CreateFileW(folder.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool known = GetFileInformationByHandle(handle, &info) != 0;
  CloseHandle(handle);
  volumeSerial = info.dwVolumeSerialNumber;
  fileIndex = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  return known;
}

// The mutex of all sessions, or of this one where this user may not make one of all
// sessions (or another user's is there: the lock file then refuses). Null when another
// program of this namespace has it, or it cannot be made.
HANDLE TakeMutex(std::uint32_t volumeSerial, std::uint64_t fileIndex) {
  for (const char* nameSpace : {"Global", "Local"}) {
    const std::wstring name = Wide(FolderMutexName(nameSpace, volumeSerial, fileIndex));
    const HANDLE mutex = CreateMutexW(nullptr, FALSE, name.c_str());
    if (!mutex) {
      if (GetLastError() == ERROR_ACCESS_DENIED) continue;
      return nullptr;
    }
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
      CloseHandle(mutex);
      return nullptr;
    }
    return mutex;
  }
  return nullptr;
}

}  // namespace

FolderLock::FolderLock(const std::string& folder) {
  const std::wstring path = Wide(folder);
  std::uint32_t volumeSerial = 0;
  std::uint64_t fileIndex = 0;
  if (!FolderIdentity(path, volumeSerial, fileIndex)) return;
  const HANDLE mutex = TakeMutex(volumeSerial, fileIndex);
  if (!mutex) return;
  // No sharing: a second open of the file fails wherever it comes from. The system removes
  // it with the last handle, also when the program crashes: the folder keeps only the
  // program's own files.
  const bool endsInSeparator = !path.empty() && (path.back() == L'\\' || path.back() == L'/');
  const std::wstring lockFile = path + (endsInSeparator ? L"" : L"\\") + L"Vendlume.lock";
  const HANDLE file = CreateFileW(lockFile.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    CloseHandle(mutex);
    return;
  }
  mutex_ = reinterpret_cast<std::intptr_t>(mutex);
  file_ = reinterpret_cast<std::intptr_t>(file);
  held_ = true;
}

FolderLock::~FolderLock() {
  if (!held_) return;
  CloseHandle(reinterpret_cast<HANDLE>(file_));
  CloseHandle(reinterpret_cast<HANDLE>(mutex_));
}

}  // namespace platform

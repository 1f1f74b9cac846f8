#include "platform/instance.h"

#include <windows.h>

#include <cstdint>
#include <cwctype>

#include "platform/codepage.h"

namespace platform {

FolderLock::FolderLock(const std::string& folder) {
  // A mutex name may not hold backslashes and is limited in length: the key is a hash of
  // the folder's path, upper-cased because Windows paths ignore case.
  std::u16string path = Cp932ToUtf16(folder);
  std::uint64_t hash = 1469598103934665603ull;
  for (char16_t c : path) {
    hash ^= static_cast<std::uint64_t>(std::towupper(c == u'/' ? u'\\' : c));
    hash *= 1099511628211ull;
  }
  wchar_t name[64];
  wsprintfW(name, L"Local\\Vendlume-%08lx%08lx", static_cast<unsigned long>(hash >> 32),
            static_cast<unsigned long>(hash & 0xffffffffu));
  HANDLE mutex = CreateMutexW(nullptr, FALSE, name);
  if (!mutex) return;
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(mutex);
    return;
  }
  handle_ = reinterpret_cast<std::intptr_t>(mutex);
  held_ = true;
}

FolderLock::~FolderLock() {
  if (held_) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

}  // namespace platform

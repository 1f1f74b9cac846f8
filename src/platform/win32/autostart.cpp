#include "platform/autostart.h"

#include <windows.h>

#include "platform/win32/widetext.h"

namespace platform {
namespace {

constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kValueName[] = L"Vendlume";

// The program's file, in full.
std::wstring ProgramPath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);  // a long path was cut
  }
}

// The Run key of the current user, closed when it goes.
class RunKey {
 public:
  explicit RunKey(REGSAM access) {
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, access, nullptr, &key_, nullptr) != ERROR_SUCCESS)
      key_ = nullptr;
  }
  ~RunKey() {
    if (key_) RegCloseKey(key_);
  }
  RunKey(const RunKey&) = delete;
  RunKey& operator=(const RunKey&) = delete;
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

}  // namespace

std::string AutostartCommand() {
  return Narrow(L"\"" + ProgramPath() + L"\" ") + kAutostartArgument;
}

std::optional<std::string> StoredAutostart() {
  RunKey key(KEY_QUERY_VALUE);
  if (!key.get()) return std::nullopt;
  DWORD type = 0, size = 0;
  if (RegQueryValueExW(key.get(), kValueName, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ))
    return std::nullopt;
  std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
  size = static_cast<DWORD>(value.size() * sizeof(wchar_t));
  if (RegQueryValueExW(key.get(), kValueName, nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &size) !=
      ERROR_SUCCESS)
    return std::nullopt;
  // The stored string may or may not end in its terminating zero.
  value.resize(size / sizeof(wchar_t));
  while (!value.empty() && value.back() == L'\0') value.pop_back();
  return Narrow(value);
}

bool StoreAutostart(bool on) {
  RunKey key(KEY_SET_VALUE);
  if (!key.get()) return false;
  if (!on) {
    LONG r = RegDeleteValueW(key.get(), kValueName);
    return r == ERROR_SUCCESS || r == ERROR_FILE_NOT_FOUND;
  }
  std::wstring command = Wide(AutostartCommand());
  return RegSetValueExW(key.get(), kValueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                        static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

std::string ProgramFolder() {
  std::wstring path = ProgramPath();
  return Narrow(path.substr(0, path.find_last_of(L"\\/")));
}

bool ChangeCurrentDirectory(const std::string& folder) { return SetCurrentDirectoryW(Wide(folder).c_str()) != 0; }

}  // namespace platform

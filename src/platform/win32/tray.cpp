#include "platform/tray.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/win32/widetext.h"

namespace platform {
namespace {

unsigned VersionFromExport() {
  HMODULE shell = LoadLibraryW(L"shell32.dll");
  if (!shell) return 0;
  struct {
    DWORD cbSize, dwMajorVersion, dwMinorVersion, dwBuildNumber, dwPlatformID;
  } info{20, 0, 0, 0, 0};
  using GetVersionFn = HRESULT(CALLBACK*)(void*);
  auto get = reinterpret_cast<GetVersionFn>(reinterpret_cast<void*>(GetProcAddress(shell, "DllGetVersion")));
  unsigned version = 0;
  if (get && SUCCEEDED(get(&info))) version = info.dwMajorVersion * 65536 + info.dwMinorVersion;
  FreeLibrary(shell);
  return version;
}

// The "FileVersion" text of shell32.dll's version resource, first two numbers.
unsigned VersionFromResource() {
  char path[MAX_PATH];
  UINT n = GetSystemDirectoryA(path, MAX_PATH);
  if (n == 0 || n > MAX_PATH - 16) return 0;
  std::strcat(path, "\\shell32.dll");
  DWORD ignored = 0, size = GetFileVersionInfoSizeA(path, &ignored);
  if (size == 0) return 0;
  std::string data(size, '\0');
  if (!GetFileVersionInfoA(path, 0, size, data.data())) return 0;
  WORD* translation = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(data.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length) ||
      length < 4)
    return 0;
  char key[64];
  std::snprintf(key, sizeof key, "\\StringFileInfo\\%04x%04x\\FileVersion", translation[0], translation[1]);
  char* text = nullptr;
  if (!VerQueryValueA(data.data(), key, reinterpret_cast<void**>(&text), &length) || !text) return 0;
  auto number = [](const char*& p) {
    char* end = nullptr;
    long v = std::strtol(p, &end, 10);
    if (end == p) v = 0;  // a part that is not a number counts as 0
    p = std::strchr(p, '.');
    if (p) ++p;
    return static_cast<unsigned>(v < 0 ? 0 : v);
  };
  const char* p = text;
  unsigned major = number(p);
  unsigned minor = p ? number(p) : 0;
  return major * 65536 + minor;
}

}  // namespace

unsigned NotifyIconRecordSize(unsigned shellVersion) {
  // The W record: captions reach the shell as UTF-16 whatever the system's code page.
  return shellVersion >= kShell5 ? NOTIFYICONDATAW_V2_SIZE : NOTIFYICONDATAW_V1_SIZE;
}

bool ShellNotifyIcon(int command, const NotifyIconRecord& record) {
  NOTIFYICONDATAW data{};
  data.cbSize = record.size;
  data.hWnd = static_cast<HWND>(record.window);
  data.uID = record.id;
  data.uFlags = record.flags;
  data.uCallbackMessage = record.callbackMessage;
  data.hIcon = static_cast<HICON>(record.icon);
  std::wstring tip = Wide(record.tip);
  lstrcpynW(data.szTip, tip.c_str(), static_cast<int>(sizeof data.szTip / sizeof data.szTip[0]));
  data.dwState = record.state;
  data.dwStateMask = record.stateMask;
  if (record.flags & kNifInfo) {
    std::wstring title = Wide(record.infoTitle), info = Wide(record.info);
    lstrcpynW(data.szInfoTitle, title.c_str(), static_cast<int>(sizeof data.szInfoTitle / sizeof data.szInfoTitle[0]));
    lstrcpynW(data.szInfo, info.c_str(), static_cast<int>(sizeof data.szInfo / sizeof data.szInfo[0]));
    data.dwInfoFlags = record.infoWarning ? NIIF_WARNING : NIIF_INFO;
  }
  SetLastError(0);
  return Shell_NotifyIconW(static_cast<DWORD>(command), &data) != FALSE;
}

unsigned LastErrorCode() { return GetLastError(); }

void SetLastErrorCode(unsigned code) { SetLastError(code); }

std::string SystemMessageText(unsigned code) {
  wchar_t buffer[256] = {};
  DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, buffer, 255,
                           nullptr);
  if (n == 0) return "";
  buffer[n < 255 ? n : 255] = 0;
  std::wstring text(buffer);
  auto blank = [](wchar_t c) { return c <= L' '; };
  while (!text.empty() && blank(text.back())) text.pop_back();
  size_t start = 0;
  while (start < text.size() && blank(text[start])) ++start;
  return Narrow(text.c_str() + start);
}

unsigned ShellVersion() {
  unsigned version = VersionFromExport();
  return version ? version : VersionFromResource();
}

void* ApplicationIcon() {
  HICON icon = LoadIconW(GetModuleHandleW(nullptr), L"MAINICON");
  return icon ? icon : LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
}

void* WarningIcon() { return LoadIconW(GetModuleHandleW(nullptr), L"WARNICON"); }

Point CursorPosition() {
  POINT p{};
  GetCursorPos(&p);
  return {p.x, p.y};
}

void Sleep(int milliseconds) { ::Sleep(static_cast<DWORD>(milliseconds)); }

int TrackPopupMenuAt(const std::vector<MenuEntry>& entries, Point at, WindowHandle owner) {
  HMENU menu = CreatePopupMenu();
  if (!menu) return -1;
  for (size_t i = 0; i < entries.size(); ++i) {
    if (!entries[i].visible) continue;
    if (entries[i].caption == "-")
      AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    else
      AppendMenuW(menu, MF_STRING | (entries[i].checked ? MF_CHECKED : MF_UNCHECKED), i + 1,
                  Wide(entries[i].caption).c_str());
  }
  HWND hwnd = static_cast<HWND>(owner);
  int chosen = TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD, at.x, at.y, 0,
                              hwnd, nullptr);
  // Lets the menu close properly when the user clicks elsewhere.
  PostMessageW(hwnd, WM_NULL, 0, 0);
  DestroyMenu(menu);
  return chosen - 1;
}

std::vector<NotifyIconRecord> NotificationAreaIcons() { return {}; }

std::vector<NotifyIconRecord> NotificationAreaBalloons() { return {}; }

void SetPopupMenuChooser(std::function<int(const std::vector<MenuEntry>&, Point)>) {}

void FailNextShellCalls(std::vector<unsigned>) {}

}  // namespace platform

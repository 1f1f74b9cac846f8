// The notification area: the shell's icon record and calls, the shell version, the
// system's error texts, and the popup menu at the cursor. The posix stand-in keeps the
// icons in memory so that tests can see them.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/window.h"

namespace platform {

// Shell_NotifyIcon's commands and record fields.
constexpr int kNotifyAdd = 0;
constexpr int kNotifyModify = 1;
constexpr int kNotifyDelete = 2;
constexpr unsigned kNifMessage = 1, kNifIcon = 2, kNifTip = 4, kNifState = 8, kNifInfo = 0x10;
constexpr unsigned kNisHidden = 1, kNisSharedIcon = 2;
constexpr unsigned kShell5 = 0x00050000;
// The shell's time-out: the taskbar did not answer in time.
constexpr unsigned kErrorTimeout = 1460;

struct NotifyIconRecord {
  unsigned size = 0;  // 0 for a record never filled
  WindowHandle window = nullptr;
  unsigned id = 0;
  unsigned flags = 0;
  unsigned callbackMessage = 0;
  void* icon = nullptr;
  unsigned state = 0;
  unsigned stateMask = 0;
  std::string tip;  // Shift-JIS
  // The balloon notice (with kNifInfo): title and text in Shift-JIS, an information or a
  // warning icon.
  std::string infoTitle, info;
  bool infoWarning = false;
};

// The record's size field for a shell version: the shell's full record from 5.0 on, its
// first form before (488 / 88 bytes on 32-bit Windows; the 64-bit layout is larger).
unsigned NotifyIconRecordSize(unsigned shellVersion);
// Calls the shell; false on failure, with LastErrorCode() telling why.
bool ShellNotifyIcon(int command, const NotifyIconRecord& record);
unsigned LastErrorCode();
void SetLastErrorCode(unsigned code);
// The system's text for an error code (default language, at most 255 characters, blanks
// and control characters trimmed), Shift-JIS; empty when there is none.
std::string SystemMessageText(unsigned code);
// Major * 65536 + minor of the shell library; 0 if unknown.
unsigned ShellVersion();
// The program's icon ("MAINICON"), or null.
void* ApplicationIcon();
// The program's icon with a warning mark ("WARNICON"), or null.
void* WarningIcon();

struct Point {
  int x = 0, y = 0;
};
Point CursorPosition();
void Sleep(int milliseconds);

struct MenuEntry {
  std::string caption;  // Shift-JIS; "-" is a separator
  bool visible = true;
  bool checked = false;  // shown with a check mark
};
// Shows a popup menu with its top-left corner at the point, owned by the window; either
// mouse button chooses. The index of the chosen entry, or -1.
int TrackPopupMenuAt(const std::vector<MenuEntry>& entries, Point at, WindowHandle owner);

// The posix stand-in's notification area, for tests: the icons now shown there and how
// a popup menu is answered (by default nothing is chosen).
std::vector<NotifyIconRecord> NotificationAreaIcons();
// The balloon notices shown so far (the records that asked for them), oldest first.
std::vector<NotifyIconRecord> NotificationAreaBalloons();
void SetPopupMenuChooser(std::function<int(const std::vector<MenuEntry>&, Point)> chooser);
// Makes the stand-in's next shell calls fail, one per code (0: a failure without a code),
// as before the taskbar exists at logon.
void FailNextShellCalls(std::vector<unsigned> codes);

}  // namespace platform

#include "platform/tray.h"

#include <chrono>
#include <thread>

namespace platform {
namespace {

// The stand-in notification area: the icons the program has added, by window and id.
struct Area {
  std::vector<NotifyIconRecord> icons;
  std::vector<NotifyIconRecord> balloons;
  unsigned lastError = 0;
  std::vector<unsigned> failures;  // the codes of the next calls that fail
  std::function<int(const std::vector<MenuEntry>&, Point)> chooser;
};

Area& TheArea() {
  static Area area;
  return area;
}

NotifyIconRecord* Find(const NotifyIconRecord& record) {
  for (auto& icon : TheArea().icons)
    if (icon.window == record.window && icon.id == record.id) return &icon;
  return nullptr;
}

}  // namespace

unsigned NotifyIconRecordSize(unsigned shellVersion) { return shellVersion >= kShell5 ? 488 : 88; }

bool ShellNotifyIcon(int command, const NotifyIconRecord& record) {
  Area& area = TheArea();
  area.lastError = 0;
  if (!area.failures.empty()) {
    area.lastError = area.failures.front();
    area.failures.erase(area.failures.begin());
    return false;
  }
  NotifyIconRecord* known = Find(record);
  if (command == kNotifyAdd) {
    if (known) return false;
    area.icons.push_back(record);
    return true;
  }
  if (!known) return false;
  if (command == kNotifyDelete) {
    area.icons.erase(area.icons.begin() + (known - area.icons.data()));
    return true;
  }
  if (record.flags & kNifTip) known->tip = record.tip;
  if (record.flags & kNifIcon) known->icon = record.icon;
  if (record.flags & kNifInfo) area.balloons.push_back(record);
  if (record.flags & kNifState)
    known->state = (known->state & ~record.stateMask) | (record.state & record.stateMask);
  return true;
}

unsigned LastErrorCode() { return TheArea().lastError; }

void SetLastErrorCode(unsigned code) { TheArea().lastError = code; }

std::string SystemMessageText(unsigned code) {
  return code == kErrorTimeout ? "This operation returned because the timeout period expired." : "";
}

unsigned ShellVersion() { return 0x00060001; }

void* ApplicationIcon() {
  static int icon;
  return &icon;
}

void* WarningIcon() {
  static int icon;
  return &icon;
}

Point CursorPosition() { return {}; }

void Sleep(int milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

int TrackPopupMenuAt(const std::vector<MenuEntry>& entries, Point at, WindowHandle) {
  auto& chooser = TheArea().chooser;
  return chooser ? chooser(entries, at) : -1;
}

std::vector<NotifyIconRecord> NotificationAreaIcons() { return TheArea().icons; }

std::vector<NotifyIconRecord> NotificationAreaBalloons() { return TheArea().balloons; }

void SetPopupMenuChooser(std::function<int(const std::vector<MenuEntry>&, Point)> chooser) {
  TheArea().chooser = std::move(chooser);
}

void FailNextShellCalls(std::vector<unsigned> codes) { TheArea().failures = std::move(codes); }

}  // namespace platform

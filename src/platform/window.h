// Windows of the program that are never shown: the controller's main window and the
// notification icon's message window. On Windows they are real top-level windows; the
// posix stand-in keeps them in memory and delivers their messages from the message loop.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace platform {

using WindowHandle = void*;

// Message numbers the program handles.
constexpr unsigned kWmNull = 0x0000;
constexpr unsigned kWmQueryEndSession = 0x0011;
constexpr unsigned kWmEndSession = 0x0016;
constexpr unsigned kWmPowerBroadcast = 0x0218;
// WM_POWERBROADCAST's events of a resume from sleep: every resume, and one the user began.
constexpr unsigned kPbtResumeSuspend = 0x0007;
constexpr unsigned kPbtResumeAutomatic = 0x0012;
constexpr unsigned kWmUser = 0x0400;
constexpr unsigned kWmMouseMove = 0x0200;
constexpr unsigned kWmLButtonDown = 0x0201;
constexpr unsigned kWmLButtonUp = 0x0202;
constexpr unsigned kWmLButtonDblClk = 0x0203;
constexpr unsigned kWmRButtonDown = 0x0204;
constexpr unsigned kWmRButtonUp = 0x0205;
constexpr unsigned kWmRButtonDblClk = 0x0206;
constexpr unsigned kWmMButtonDown = 0x0207;
constexpr unsigned kWmMButtonUp = 0x0208;
constexpr unsigned kWmMButtonDblClk = 0x0209;

// A window's message handler: the answer, or nothing for the system's default handling.
using MessageHandler =
    std::function<std::optional<std::intptr_t>(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam)>;

class HiddenWindow {
 public:
  // Registers the class on first use (the program's icon "MAINICON", the arrow cursor,
  // the window colour) and creates a popup window at 0, 0 of size 0 x 0 that is never
  // shown. A tool window stays off the taskbar. Throws std::runtime_error on failure.
  HiddenWindow(const std::string& className, MessageHandler handler, bool toolWindow);
  ~HiddenWindow();
  HiddenWindow(const HiddenWindow&) = delete;
  HiddenWindow& operator=(const HiddenWindow&) = delete;

  WindowHandle Handle() const;
  std::intptr_t Send(unsigned msg, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);
  void Post(unsigned msg, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

// The number of a registered window message ("TaskbarCreated"), the same for every
// program of the session.
unsigned RegisterMessage(const std::string& name);
// Sends the message to every top-level window, as the shell does with "TaskbarCreated".
void BroadcastMessage(unsigned msg);
// Lets the message reach the window from programs of a lower integrity level (the shell's
// "TaskbarCreated" when this program runs elevated).
void AcceptFromLowerPrivilege(WindowHandle window, unsigned msg);
// Brings the window to the foreground (a popup menu closes properly only then).
void SetForeground(WindowHandle window);

}  // namespace platform

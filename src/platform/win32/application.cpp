#include "platform/application.h"

#include <windows.h>

#include <deque>
#include <map>

#include "platform/codepage.h"
#include "platform/win32/application.h"

namespace platform {
namespace {

constexpr UINT kPostedWork = WM_APP + 1;

struct Timer {
  std::function<void()> onTick;
  bool running = false;
};

struct Loop {
  std::map<UINT_PTR, Timer> timers;
  std::deque<std::function<void()>> posted;
  bool terminated = false;
};

Loop& TheLoop() {
  static Loop loop;
  return loop;
}

void CALLBACK OnTimer(HWND, UINT, UINT_PTR id, DWORD) {
  Loop& loop = TheLoop();
  auto it = loop.timers.find(id);
  // A tick that arrives while the handler still runs (it pumps messages during network
  // waits) is dropped, as a window timer does not queue ticks.
  if (it == loop.timers.end() || it->second.running || loop.terminated) return;
  it->second.running = true;
  auto tick = it->second.onTick;
  tick();
  auto again = loop.timers.find(id);
  if (again != loop.timers.end()) again->second.running = false;
}

void RunPosted() {
  Loop& loop = TheLoop();
  while (!loop.posted.empty() && !loop.terminated) {
    auto work = std::move(loop.posted.front());
    loop.posted.pop_front();
    HandlerScope handling;
    work();
  }
}

// Tab and Shift+Tab move between the controls of a settings window (a top-level window
// with WS_EX_CONTROLPARENT), as in a dialog box, and the arrow keys move the choice among
// the radio buttons of a group. Other keys, Enter in an edit box among them, still reach
// the control itself.
bool MovedFocusByKeyboard(MSG& msg) {
  if ((msg.message != WM_KEYDOWN && msg.message != WM_CHAR) || !msg.hwnd) return false;
  const bool arrow = msg.message == WM_KEYDOWN && msg.wParam >= VK_LEFT && msg.wParam <= VK_DOWN &&
                     (SendMessageW(msg.hwnd, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON);
  if (msg.wParam != VK_TAB && !arrow) return false;
  HWND root = GetAncestor(msg.hwnd, GA_ROOT);
  if (!root || !(GetWindowLongPtrW(root, GWL_EXSTYLE) & WS_EX_CONTROLPARENT)) return false;
  return IsDialogMessageW(root, &msg);
}

// One message: posted work runs here; everything else goes to its window or timer procedure.
void Handle(MSG& msg) {
  if (msg.message == WM_QUIT) {
    TheLoop().terminated = true;
    return;
  }
  HandlerScope handling;
  if (msg.hwnd == nullptr && msg.message == kPostedWork) {
    RunPosted();
    return;
  }
  if (MovedFocusByKeyboard(msg)) return;
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
}

}  // namespace

void RunMessageLoop() {
  Loop& loop = TheLoop();
  RunPosted();
  MSG msg;
  while (!loop.terminated) {
    BOOL r = GetMessageW(&msg, nullptr, 0, 0);
    if (r <= 0) break;
    Handle(msg);
    // A modal loop of the system (a message box, a menu) drops the thread message that
    // announces posted work; the work waits here instead of until the next announcement.
    RunPosted();
    RunReleasesWhenUnwound();
  }
  loop.terminated = true;
}

void RunModalLoop(HWND dialog, const bool& done) {
  HandlerScope modal;  // the window and its owner stay alive until the loop has returned
  Loop& loop = TheLoop();
  MSG msg;
  while (!done && !loop.terminated) {
    BOOL r = GetMessageW(&msg, nullptr, 0, 0);
    if (r < 0) break;
    if (r == 0) {
      // The quit belongs to the outermost loop: it ends this one and is posted again.
      loop.terminated = true;
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (msg.hwnd && IsDialogMessageW(dialog, &msg)) continue;
    Handle(msg);
  }
}

void Terminate() {
  TheLoop().terminated = true;
  PostQuitMessage(0);
}

bool Terminated() { return TheLoop().terminated; }

void ReopenMessageLoop() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
  }
  TheLoop().terminated = false;
}

void ProcessMessages() {
  MSG msg;
  while (!TheLoop().terminated && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) Handle(msg);
  RunPosted();
  RunReleasesWhenUnwound();
}

void PostWork(std::function<void()> work) {
  TheLoop().posted.push_back(std::move(work));
  PostThreadMessageW(GetCurrentThreadId(), kPostedWork, 0, 0);
}

TimerId StartTimer(std::chrono::milliseconds interval, std::function<void()> onTick) {
  UINT_PTR id = SetTimer(nullptr, 0, static_cast<UINT>(interval.count()), OnTimer);
  if (id != 0) TheLoop().timers[id] = Timer{std::move(onTick)};
  return static_cast<TimerId>(id);
}

void KillTimer(TimerId id) {
  ::KillTimer(nullptr, id);
  TheLoop().timers.erase(id);
}

void ShowErrorMessage(const std::string& title, const std::string& text) {
  std::u16string t = Cp932ToUtf16(title), m = Cp932ToUtf16(text);
  MessageBoxW(nullptr, reinterpret_cast<LPCWSTR>(m.c_str()), reinterpret_cast<LPCWSTR>(t.c_str()),
              MB_OK | MB_ICONERROR | MB_TASKMODAL);
}

}  // namespace platform

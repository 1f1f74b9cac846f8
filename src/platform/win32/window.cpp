#include "platform/window.h"

#include <windows.h>

#include <map>
#include <stdexcept>

#include "platform/win32/widetext.h"

namespace platform {

struct HiddenWindow::Impl {
  MessageHandler handler;
  HWND hwnd = nullptr;
  std::string className;
};

namespace {

// Classes are registered on first use and unregistered with their last window.
std::map<std::string, int>& ClassUsers() {
  static std::map<std::string, int> users;
  return users;
}

LRESULT CALLBACK HiddenWindowProc(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(l);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
  }
  // Messages that arrive before the owner is known (during creation) get default handling.
  auto* impl = reinterpret_cast<HiddenWindow::Impl*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (impl && impl->hwnd == hwnd && impl->handler) {
    if (auto answer = impl->handler(msg, w, l)) return *answer;
  }
  return DefWindowProcW(hwnd, msg, w, l);
}

}  // namespace

HiddenWindow::HiddenWindow(const std::string& className, MessageHandler handler, bool toolWindow)
    : impl_(std::make_unique<Impl>()) {
  impl_->handler = std::move(handler);
  impl_->className = className;
  HINSTANCE instance = GetModuleHandleW(nullptr);
  std::wstring cls = Wide(className);
  if (ClassUsers()[className]++ == 0) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = HiddenWindowProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, L"MAINICON");
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = cls.c_str();
    RegisterClassW(&wc);
  }
  impl_->hwnd = CreateWindowExW(toolWindow ? WS_EX_TOOLWINDOW : 0, cls.c_str(), L"", WS_POPUP, 0, 0, 0, 0,
                                nullptr, nullptr, instance, impl_.get());
  if (!impl_->hwnd) {
    if (--ClassUsers()[className] == 0) UnregisterClassW(cls.c_str(), instance);
    throw std::runtime_error("cannot create the window " + className);
  }
}

HiddenWindow::~HiddenWindow() {
  HWND hwnd = impl_->hwnd;
  impl_->hwnd = nullptr;
  DestroyWindow(hwnd);
  if (--ClassUsers()[impl_->className] == 0)
    UnregisterClassW(Wide(impl_->className).c_str(), GetModuleHandleW(nullptr));
}

WindowHandle HiddenWindow::Handle() const { return impl_->hwnd; }

std::intptr_t HiddenWindow::Send(unsigned msg, std::uintptr_t w, std::intptr_t l) {
  return SendMessageW(impl_->hwnd, msg, w, l);
}

void HiddenWindow::Post(unsigned msg, std::uintptr_t w, std::intptr_t l) { PostMessageW(impl_->hwnd, msg, w, l); }

unsigned RegisterMessage(const std::string& name) { return RegisterWindowMessageA(name.c_str()); }

void BroadcastMessage(unsigned msg) {
  DWORD_PTR result = 0;
  SendMessageTimeoutW(HWND_BROADCAST, msg, 0, 0, SMTO_NORMAL, 2000, &result);
}

void AcceptFromLowerPrivilege(WindowHandle window, unsigned msg) {
  // Windows 7 and later; looked up so that the program still starts where it is missing.
  using FilterFn = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  auto filter = reinterpret_cast<FilterFn>(
      reinterpret_cast<void*>(user32 ? GetProcAddress(user32, "ChangeWindowMessageFilterEx") : nullptr));
  constexpr DWORD kAllow = 1;  // MSGFLT_ALLOW
  if (filter) filter(static_cast<HWND>(window), msg, kAllow, nullptr);
}

void SetForeground(WindowHandle window) { SetForegroundWindow(static_cast<HWND>(window)); }

}  // namespace platform

#include "platform/window.h"

#include <map>
#include <set>

#include "platform/application.h"

namespace platform {

struct HiddenWindow::Impl {
  MessageHandler handler;
};

namespace {

// The windows alive now; a posted message to a window destroyed meanwhile is dropped.
std::set<HiddenWindow::Impl*>& Windows() {
  static std::set<HiddenWindow::Impl*> windows;
  return windows;
}

std::intptr_t Deliver(HiddenWindow::Impl* impl, unsigned msg, std::uintptr_t w, std::intptr_t l) {
  if (!Windows().count(impl) || !impl->handler) return 0;
  auto answer = impl->handler(msg, w, l);
  if (answer) return *answer;
  return msg == kWmQueryEndSession ? 1 : 0;  // the system's default answers: the session may end
}

}  // namespace

HiddenWindow::HiddenWindow(const std::string&, MessageHandler handler, bool) : impl_(std::make_unique<Impl>()) {
  impl_->handler = std::move(handler);
  Windows().insert(impl_.get());
}

HiddenWindow::~HiddenWindow() { Windows().erase(impl_.get()); }

WindowHandle HiddenWindow::Handle() const { return impl_.get(); }

std::intptr_t HiddenWindow::Send(unsigned msg, std::uintptr_t w, std::intptr_t l) {
  return Deliver(impl_.get(), msg, w, l);
}

void HiddenWindow::Post(unsigned msg, std::uintptr_t w, std::intptr_t l) {
  Impl* impl = impl_.get();
  PostWork([impl, msg, w, l] { Deliver(impl, msg, w, l); });
}

unsigned RegisterMessage(const std::string& name) {
  static std::map<std::string, unsigned> numbers;
  auto it = numbers.find(name);
  if (it != numbers.end()) return it->second;
  unsigned number = 0xC000 + static_cast<unsigned>(numbers.size());
  numbers[name] = number;
  return number;
}

void BroadcastMessage(unsigned msg) {
  auto windows = Windows();  // a handler may create or destroy windows
  for (auto* impl : windows) Deliver(impl, msg, 0, 0);
}

void AcceptFromLowerPrivilege(WindowHandle, unsigned) {}

void SetForeground(WindowHandle) {}

}  // namespace platform

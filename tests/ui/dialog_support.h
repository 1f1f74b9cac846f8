// Helpers for the dialog tests: the top-level handler's messages, the message boxes.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/sjisliteral.h"
#include "platform/application.h"
#include "ui/controls.h"

namespace dialog_test {

// Collects what would reach the top-level error handler while it lives.
struct ErrorLog {
  ErrorLog() {
    SetUnhandledErrorHandler([this](const std::exception& e) { messages.push_back(e.what()); });
  }
  ~ErrorLog() {
    SetUnhandledErrorHandler([](const std::exception& e) { ADD_FAILURE() << "unexpected error " << e.what(); });
  }
  std::vector<std::string> messages;
};

inline std::string NotAnInteger(const std::string& text) {
  return Sjis("'") + text + Sjis("' は整数ではありません");
}

// Frees dialogs whose release was queued, as the message loop would.
inline void RunMessageLoopOnce() { platform::ProcessMessages(); }

}  // namespace dialog_test

// The top-level error handler: a failure that leaves an event handler is shown to the user
// in a message box (error icon, the program's title) and the program goes on. The silent
// kind (an abort, a graceful close) is not shown.
#pragma once
#include <exception>
#include <string>

// The text as shown: the error's message with a full stop added when its last character
// sorts above "." (so "Connection timed out." stays as it is).
std::string ErrorMessageText(const std::string& message);

void HandleException(const std::exception& e);

// Runs an event handler under the top-level handler.
template <typename F>
void RunGuarded(F&& handler) {
  try {
    handler();
  } catch (const std::exception& e) {
    HandleException(e);
  }
}

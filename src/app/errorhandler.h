// The top-level error handler: a failure that leaves an event handler is shown to the user
// in a message box (error icon, the program's title) and the program goes on. The silent
// kind (an abort, a graceful close) is not shown.
#pragma once
#include <exception>
#include <string>

// The text as shown: the error's message with a full stop added when its last character
// sorts above "." (so "Connection timed out." stays as it is).
std::string ErrorMessageText(const std::string& message);

// Shows the error. Boxes never nest: an error that arrives while a box is open (its own
// message loop runs the program's messages) is shown after that box has closed.
void HandleException(const std::exception& e);
// Whether an error box is open now; the poll timer starts no cycle meanwhile.
bool ErrorBoxOpen();
// Where the boxes go (the platform's message box; tests put a stand-in that runs a
// message loop as a modal box does).
using TErrorBox = void (*)(const std::string& title, const std::string& text);
void SetErrorBox(TErrorBox box);

// Runs an event handler under the top-level handler.
template <typename F>
void RunGuarded(F&& handler) {
  try {
    handler();
  } catch (const std::exception& e) {
    HandleException(e);
  }
}

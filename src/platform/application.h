// The application: one GUI thread running a message loop with window-message-style timers
// and posted work. Network waits call ProcessMessages so that timers, menu commands and
// dialogs keep working while a blocking call waits for data.
#pragma once
#include <chrono>
#include <functional>
#include <string>

namespace platform {

using TimerId = unsigned;

// Runs the message loop until Terminate (or, on posix, SIGTERM / SIGINT) ends it.
void RunMessageLoop();
// Ends the message loop after the current message.
void Terminate();
bool Terminated();
// Lets the loop run again after Terminate: a program ends after its exit, but a test that
// drives the exit goes on with the next test.
void ReopenMessageLoop();
// Handles every message that is due now (due timers, posted work) without waiting.
void ProcessMessages();
// Queues work to run on the GUI thread from the message loop.
void PostWork(std::function<void()> work);

// Frees a window or its owner once every handler on the stack has returned: the release
// runs from the outermost loop only (RunMessageLoop, or ProcessMessages called outside
// every handler), never from a pump inside a handler nor from a modal loop.
void ReleaseWhenUnwound(std::function<void()> release);

// Marks a handler on the stack while it lives; releases wait until no mark is left. The
// loops mark each message they dispatch and a modal window its whole loop; an event handler
// called directly marks itself.
class HandlerScope {
 public:
  HandlerScope();
  ~HandlerScope();
  HandlerScope(const HandlerScope&) = delete;
  HandlerScope& operator=(const HandlerScope&) = delete;
};

// For the loops: runs the waiting releases when no handler is on the stack.
void RunReleasesWhenUnwound();

// A repeating timer: OnTick runs from the message loop every interval until killed.
// A tick that comes due while the previous one is still running is not queued twice.
TimerId StartTimer(std::chrono::milliseconds interval, std::function<void()> onTick);
void KillTimer(TimerId id);

// The error message box: the text, an error icon and the program's title. Shift-JIS text.
void ShowErrorMessage(const std::string& title, const std::string& text);

}  // namespace platform

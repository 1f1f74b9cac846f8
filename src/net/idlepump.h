// Keeps the one GUI thread responsive while a network call waits: every wait for data
// returns here at least every IdleTimeOut ms, and the pump lets the program process its
// pending window messages.
#pragma once
#include <functional>
#include <thread>

class TNetIdlePump {
 public:
  // The newest pump becomes the process-wide pump; it pumps only for the thread that
  // created it (the main thread).
  TNetIdlePump();
  // Destroying the process-wide pump leaves none.
  ~TNetIdlePump();
  TNetIdlePump(const TNetIdlePump&) = delete;
  TNetIdlePump& operator=(const TNetIdlePump&) = delete;

  // The process-wide pump, or null.
  static TNetIdlePump* Current();

  bool Active = true;
  bool ApplicationHasPriority = true;  // process all pending messages, else at most one
  int IdleTimeOut = 250;               // ms, the longest wait between two pumps
  bool OnlyWhenIdle = true;            // pump only when a wait found no data

  // Installed by the program: processes the pending window messages, all of them when
  // allPending is true, else at most one.
  std::function<void(bool allPending)> ProcessMessages;

  // Pumps when (idle, or not OnlyWhenIdle, or override) and Active, on the pump's thread.
  void PumpIdleMessages(bool idle, bool override);

 private:
  std::thread::id thread_;
};

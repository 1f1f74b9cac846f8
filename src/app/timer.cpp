#include "app/timer.h"

#include <chrono>

#include "app/errorhandler.h"

void TTimer::SetInterval(int ms) {
  interval_ = ms;
  Restart();
}

void TTimer::SetEnabled(bool enabled) {
  if (enabled_ == enabled) return;
  enabled_ = enabled;
  Restart();
}

void TTimer::Restart() {
  Stop();
  if (!enabled_ || interval_ <= 0) return;
  id_ = platform::StartTimer(std::chrono::milliseconds(interval_), [this] {
    // The box of an earlier failure runs its own message loop: no tick starts anything
    // until the owner has closed it.
    if (OnTimer && !ErrorBoxOpen()) RunGuarded([this] { OnTimer(this); });
  });
}

void TTimer::Stop() {
  if (id_ != 0) platform::KillTimer(id_);
  id_ = 0;
}

// A window-message timer as the forms use it: OnTimer fires every Interval milliseconds
// while Enabled. Setting Interval restarts the countdown; an Interval of 0 stops it.
#pragma once
#include <functional>

#include "base/object.h"
#include "platform/application.h"

class TTimer : public TObject {
 public:
  explicit TTimer(int interval = 1000) : interval_(interval) {}
  ~TTimer() override { Stop(); }
  TTimer(const TTimer&) = delete;
  TTimer& operator=(const TTimer&) = delete;

  int Interval() const { return interval_; }
  void SetInterval(int ms);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  // Whether the timer is counting down now (enabled with an interval above 0).
  bool Running() const { return id_ != 0; }

  std::function<void(TObject* Sender)> OnTimer;

 private:
  void Restart();
  void Stop();

  int interval_;
  bool enabled_ = false;
  platform::TimerId id_ = 0;
};

#include "net/idlepump.h"

namespace {
TNetIdlePump* current = nullptr;
}

TNetIdlePump::TNetIdlePump() : thread_(std::this_thread::get_id()) {
  current = this;
}

TNetIdlePump::~TNetIdlePump() {
  if (current == this) current = nullptr;
}

TNetIdlePump* TNetIdlePump::Current() { return current; }

void TNetIdlePump::PumpIdleMessages(bool idle, bool override) {
  if (std::this_thread::get_id() != thread_ || !ProcessMessages) return;
  if ((idle || !OnlyWhenIdle || override) && Active) ProcessMessages(ApplicationHasPriority);
}

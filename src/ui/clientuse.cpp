#include "ui/clientuse.h"

#include "platform/application.h"
#include "ui/controls.h"

TClientUse::TLease::~TLease() {
  if (owner_) owner_->Free(kind_);
}

bool TClientUse::Busy(TNetClientKind kind) const {
  auto it = busy_.find(kind);
  return it != busy_.end() && it->second;
}

TClientUse::TLease TClientUse::TryTake(TNetClientKind kind) {
  if (Busy(kind)) return {};
  busy_[kind] = true;
  Changed();
  return TLease(this, kind);
}

void TClientUse::Free(TNetClientKind kind) {
  busy_[kind] = false;
  Changed();
  // Each waiting piece of work takes its turn from the message loop, when no handler that
  // might be using the client is on the stack any more; it checks again then.
  auto waiting = std::move(waiting_[kind]);
  waiting_[kind].clear();
  for (auto& work : waiting)
    platform::PostWork([this, kind, work = std::move(work)]() mutable {
      RunEventHandler([&] { UseWhenFree(kind, std::move(work)); });
    });
}

void TClientUse::UseWhenFree(TNetClientKind kind, std::function<void()> work) {
  if (Busy(kind)) {
    waiting_[kind].push_back(std::move(work));
    return;
  }
  TLease lease = TryTake(kind);
  work();
}

int TClientUse::Subscribe(std::function<void()> changed) {
  subscribers_[nextId_] = std::move(changed);
  return nextId_++;
}

void TClientUse::Unsubscribe(int id) { subscribers_.erase(id); }

void TClientUse::Changed() {
  auto subscribers = subscribers_;  // a subscriber may unsubscribe
  for (auto& [id, changed] : subscribers) changed();
}

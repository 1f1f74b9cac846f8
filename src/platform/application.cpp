#include "platform/application.h"

#include <deque>

namespace platform {
namespace {

struct Releases {
  int handlerDepth = 0;
  std::deque<std::function<void()>> waiting;
};

Releases& TheReleases() {
  static Releases releases;
  return releases;
}

}  // namespace

void ReleaseWhenUnwound(std::function<void()> release) { TheReleases().waiting.push_back(std::move(release)); }

HandlerScope::HandlerScope() { ++TheReleases().handlerDepth; }

HandlerScope::~HandlerScope() { --TheReleases().handlerDepth; }

void RunReleasesWhenUnwound() {
  Releases& r = TheReleases();
  if (r.handlerDepth > 0) return;
  // A release may queue another (a dialog that owns a dialog): it runs in the same turn.
  while (!r.waiting.empty()) {
    auto release = std::move(r.waiting.front());
    r.waiting.pop_front();
    HandlerScope releasing;  // what a destructor pumps cannot free anything under it
    release();
  }
}

}  // namespace platform

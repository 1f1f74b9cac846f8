// Work that cannot be interrupted (the system's host lookup, a certificate chain that may
// fetch certificates) run on a thread of its own, waited for in slices with a pump between
// them, so that the one GUI thread keeps answering its windows.
#pragma once
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace platform {

// Runs work on a thread of its own and waits for its result: in slices of sliceMs with pump
// run between them (no pump: one wait), for at most timeoutMs (negative: no limit; only the
// time spent waiting counts). Nothing when the limit came first. work must own what it uses:
// a wait given up at the limit, or by a pump that throws, leaves it to finish on its own.
template <class T>
std::optional<T> RunOnOwnThread(std::function<T()> work, int timeoutMs, int sliceMs,
                                const std::function<void()>& pump) {
  struct Shared {
    std::mutex mutex;
    std::condition_variable done;
    std::optional<T> result;
  };
  auto shared = std::make_shared<Shared>();
  std::thread([shared, work = std::move(work)] {
    T result = work();
    std::lock_guard<std::mutex> lock(shared->mutex);
    shared->result = std::move(result);
    shared->done.notify_all();
  }).detach();
  const bool limited = timeoutMs >= 0;
  const int64_t slice = pump && sliceMs > 0 ? sliceMs : limited ? std::max(timeoutMs, 1) : 24 * 3600 * 1000;
  std::unique_lock<std::mutex> lock(shared->mutex);
  for (int64_t left = timeoutMs; !shared->result;) {
    if (limited && left <= 0) return std::nullopt;
    const auto before = std::chrono::steady_clock::now();
    shared->done.wait_for(lock, std::chrono::milliseconds(limited ? std::min(left, slice) : slice),
                          [&] { return shared->result.has_value(); });
    left -= std::max<int64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - before).count(), 1);
    if (shared->result || !pump) continue;
    lock.unlock();
    pump();
    lock.lock();
  }
  return std::move(shared->result);
}

}  // namespace platform

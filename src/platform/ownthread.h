// Waits in slices with a pump between them, so that the one GUI thread keeps answering its
// windows: for a socket, or for work that cannot be interrupted (the system's host lookup, a
// certificate chain that may fetch certificates) run on a thread of its own.
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

// Waits with wait(ms) (non-zero: done) for at most timeoutMs (negative: no limit), in slices
// of sliceMs with pump run between them; without a pump, in one wait. Only the time spent
// waiting counts toward the limit. wait's last answer.
inline int WaitInSlices(int timeoutMs, int sliceMs, const std::function<int(int)>& wait,
                        const std::function<void()>& pump) {
  if (!pump || sliceMs <= 0) return wait(timeoutMs);
  for (int64_t left = timeoutMs;;) {
    const auto before = std::chrono::steady_clock::now();
    const int ready = wait(static_cast<int>(timeoutMs < 0 ? sliceMs : std::min<int64_t>(left, sliceMs)));
    left -= std::max<int64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - before).count(), 1);
    if (ready != 0 || (timeoutMs >= 0 && left <= 0)) return ready;
    pump();
  }
}

// Runs work on a thread of its own and waits for its result as WaitInSlices does. Nothing
// when the limit came first. work must own what it uses: a wait given up at the limit, or by
// a pump that throws, leaves it to finish on its own.
template <class T>
std::optional<T> RunOnOwnThread(std::function<T()> work, int timeoutMs, int sliceMs,
                                const std::function<void()>& pump) {
  struct Shared {
    std::mutex mutex;
    std::condition_variable done;
    std::optional<T> result;
  };
  auto shared = std::make_shared<Shared>();
  std::thread worker([shared, work = std::move(work)] {
    T result = work();
    std::lock_guard<std::mutex> lock(shared->mutex);
    shared->result = std::move(result);
    shared->done.notify_all();
  });
  std::unique_lock<std::mutex> lock(shared->mutex);
  // A thread whose result came is joined (it has only its end left); one given up on, at the
  // limit or by a pump that throws, is left to end by itself.
  struct Release {
    std::thread& thread;
    std::unique_lock<std::mutex>& lock;
    const std::optional<T>& result;
    ~Release() {
      if (!lock.owns_lock()) lock.lock();
      result ? thread.join() : thread.detach();
    }
  } release{worker, lock, shared->result};
  const auto finished = [&] { return shared->result.has_value(); };
  WaitInSlices(
      timeoutMs, sliceMs,
      [&](int ms) {
        if (ms < 0)
          shared->done.wait(lock, finished);
        else
          shared->done.wait_for(lock, std::chrono::milliseconds(ms), finished);
        return finished() ? 1 : 0;
      },
      pump ? std::function<void()>([&] {
        lock.unlock();
        pump();
        lock.lock();
      })
           : nullptr);
  return std::move(shared->result);
}

}  // namespace platform

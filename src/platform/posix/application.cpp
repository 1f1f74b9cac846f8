#include "platform/application.h"

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <deque>
#include <map>

#include "platform/codepage.h"

namespace platform {
namespace {

using Clock = std::chrono::steady_clock;

struct Timer {
  std::chrono::milliseconds interval;
  Clock::time_point due;
  std::function<void()> onTick;
  bool running = false;
};

struct Loop {
  std::map<TimerId, Timer> timers;
  TimerId nextId = 1;
  std::deque<std::function<void()>> posted;
  bool terminated = false;
  int signalPipe[2] = {-1, -1};
};

Loop& TheLoop() {
  static Loop loop;
  return loop;
}

// SIGTERM / SIGINT end the program like the tray menu's exit: the handler only writes a
// byte to a pipe, which the loop reads.
void OnSignal(int) {
  int fd = TheLoop().signalPipe[1];
  if (fd >= 0) {
    char b = 1;
    ssize_t r = write(fd, &b, 1);
    (void)r;
  }
}

void InstallSignalHandlers() {
  Loop& loop = TheLoop();
  if (loop.signalPipe[0] >= 0) return;
  if (pipe(loop.signalPipe) != 0) return;
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGINT, &sa, nullptr);
}

void DrainSignals() {
  Loop& loop = TheLoop();
  if (loop.signalPipe[0] < 0) return;
  struct pollfd p {loop.signalPipe[0], POLLIN, 0};
  while (poll(&p, 1, 0) > 0 && (p.revents & POLLIN)) {
    char buf[16];
    if (read(loop.signalPipe[0], buf, sizeof buf) <= 0) break;
    loop.terminated = true;
  }
}

// Runs posted work and each due timer once; true when anything ran.
bool DispatchDue() {
  Loop& loop = TheLoop();
  bool ran = false;
  DrainSignals();
  while (!loop.posted.empty() && !loop.terminated) {
    auto work = std::move(loop.posted.front());
    loop.posted.pop_front();
    HandlerScope handling;
    work();
    ran = true;
  }
  auto now = Clock::now();
  for (auto it = loop.timers.begin(); it != loop.timers.end() && !loop.terminated;) {
    TimerId id = it->first;
    Timer& t = it->second;
    if (!t.running && t.due <= now) {
      t.due = now + t.interval;
      t.running = true;
      auto tick = t.onTick;  // the handler may kill its own timer
      {
        HandlerScope handling;
        tick();
      }
      ran = true;
      auto again = loop.timers.find(id);
      if (again != loop.timers.end()) again->second.running = false;
      it = loop.timers.upper_bound(id);
      now = Clock::now();
    } else {
      ++it;
    }
  }
  return ran;
}

int MillisecondsToNextTimer() {
  Loop& loop = TheLoop();
  if (!loop.posted.empty()) return 0;
  int wait = -1;
  auto now = Clock::now();
  for (auto& [id, t] : loop.timers) {
    if (t.running) continue;
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(t.due - now).count();
    int m = ms < 0 ? 0 : static_cast<int>(ms > 86400000 ? 86400000 : ms);
    if (wait < 0 || m < wait) wait = m;
  }
  return wait;
}

}  // namespace

void RunMessageLoop() {
  Loop& loop = TheLoop();
  InstallSignalHandlers();
  while (!loop.terminated) {
    DispatchDue();
    RunReleasesWhenUnwound();
    if (loop.terminated) break;
    // Sleep until the next timer or a signal: the program does not spin between events.
    struct pollfd p {loop.signalPipe[0], POLLIN, 0};
    int r = poll(&p, loop.signalPipe[0] >= 0 ? 1 : 0, MillisecondsToNextTimer());
    if (r < 0 && errno != EINTR) break;
  }
}

void Terminate() { TheLoop().terminated = true; }

bool Terminated() { return TheLoop().terminated; }

void ReopenMessageLoop() { TheLoop().terminated = false; }

void ProcessMessages() {
  DispatchDue();
  RunReleasesWhenUnwound();
}

void PostWork(std::function<void()> work) { TheLoop().posted.push_back(std::move(work)); }

TimerId StartTimer(std::chrono::milliseconds interval, std::function<void()> onTick) {
  Loop& loop = TheLoop();
  TimerId id = loop.nextId++;
  loop.timers[id] = Timer{interval, Clock::now() + interval, std::move(onTick)};
  return id;
}

void KillTimer(TimerId id) { TheLoop().timers.erase(id); }

void ShowErrorMessage(const std::string& title, const std::string& text) {
  // No message boxes here: the message goes to the console, as UTF-8.
  std::fprintf(stderr, "%s: %s\n", Cp932ToUtf8(title).c_str(), Cp932ToUtf8(text).c_str());
}

}  // namespace platform

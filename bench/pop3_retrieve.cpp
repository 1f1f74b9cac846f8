// Retrieves message 1 of a POP3 mailbox several times, decoded and as bare lines (the
// connection layer alone), and prints the times, elapsed and the client's own processor
// time (steadier than elapsed time on a busy machine, and without the server's share):
//   bench_pop3_retrieve PORT USER PASSWORD [RUNS]
// scripts/bench runs it against a private dovecot beside curl fetching the same mail.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <vector>

#include "mail/message.h"
#include "net/pop3.h"

namespace {

// Elapsed and processor time of one run.
class Stopwatch {
 public:
  double ElapsedMs() const {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start_)
        .count();
  }
  double CpuMs() const { return 1000.0 * double(std::clock() - cpuStart_) / CLOCKS_PER_SEC; }

 private:
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  std::clock_t cpuStart_ = std::clock();
};

struct Times {
  std::vector<double> ms, cpuMs;
  void Add(const Stopwatch& watch) {
    ms.push_back(watch.ElapsedMs());
    cpuMs.push_back(watch.CpuMs());
  }
  void Print(const char* what, size_t bytes) {
    std::sort(ms.begin(), ms.end());
    std::sort(cpuMs.begin(), cpuMs.end());
    std::printf("vendlume  %-16s best %.1f ms, median %.1f ms (%zu runs, %zu bytes); "
                "client CPU best %.1f ms, median %.1f ms\n",
                what, ms.front(), ms[ms.size() / 2], ms.size(), bytes, cpuMs.front(),
                cpuMs[cpuMs.size() / 2]);
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s PORT USER PASSWORD [RUNS]\n", argv[0]);
    return 2;
  }
  const int runs = argc > 4 ? std::atoi(argv[4]) : 5;
  auto open = [&](TNetPOP3& pop) {
    pop.Host = "127.0.0.1";
    pop.Port = std::atoi(argv[1]);
    pop.UserId = argv[2];
    pop.Password = argv[3];
    pop.OpenConnection();
  };
  Times decodedTimes, lineTimes;
  size_t decoded = 0, lineBytes = 0;
  try {
    for (int run = 0; run < runs; ++run) {
      Stopwatch watch;
      TNetPOP3 pop;
      open(pop);
      TNetMessage message;
      if (!pop.RetrieveMessage(1, message)) throw std::runtime_error("no message 1");
      pop.CloseConnection();
      decodedTimes.Add(watch);
      decoded = 0;
      for (const auto& part : message.Parts)
        if (auto* text = dynamic_cast<TNetText*>(part.get()))
          for (const auto& entry : text->Body) decoded += entry.size();
    }
    for (int run = 0; run < runs; ++run) {
      Stopwatch watch;
      TNetPOP3 pop;
      open(pop);
      pop.SendCommand("RETR 1", 1);
      std::vector<std::string> lines;
      pop.CaptureLines(&lines, ".", true);
      pop.CloseConnection();
      lineTimes.Add(watch);
      lineBytes = 0;
      for (const auto& line : lines) lineBytes += line.size() + 2;
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "failed: %s\n", e.what());
    return 1;
  }
  decodedTimes.Print("retrieve+decode:", decoded);
  lineTimes.Print("retrieve lines:", lineBytes);
  return 0;
}

// Retrieves message 1 of a POP3 mailbox once and prints one line of figures, so that a
// script can alternate it run by run with another client:
//   bench_pop3_retrieve PORT USER PASSWORD decode|lines
// decode: RetrieveMessage into a message object (lines, unstuffing and MIME decoding);
// lines:  RETR read as bare lines by the connection layer alone.
// Output: "ELAPSED_MS CPU_MS BYTES", the client's own processor time beside the elapsed
// time (steadier on a busy machine, and without the server's share). scripts/bench runs it
// against a private dovecot, alternating with curl fetching the same mail.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <string>
#include <vector>

#include "mail/message.h"
#include "net/pop3.h"

int main(int argc, char** argv) {
  const std::string mode = argc > 4 ? argv[4] : "";
  if (mode != "decode" && mode != "lines") {
    std::fprintf(stderr, "usage: %s PORT USER PASSWORD decode|lines\n", argv[0]);
    return 2;
  }
  size_t bytes = 0;
  const auto start = std::chrono::steady_clock::now();
  const std::clock_t cpuStart = std::clock();
  try {
    TNetPOP3 pop;
    pop.Host = "127.0.0.1";
    pop.Port = std::atoi(argv[1]);
    pop.UserId = argv[2];
    pop.Password = argv[3];
    pop.OpenConnection();
    if (mode == "decode") {
      TNetMessage message;
      if (!pop.RetrieveMessage(1, message)) throw std::runtime_error("no message 1");
      pop.CloseConnection();
      for (const auto& part : message.Parts)
        if (auto* text = dynamic_cast<TNetText*>(part.get()))
          for (const auto& entry : text->Body) bytes += entry.size();
    } else {
      pop.SendCommand("RETR 1", 1);
      std::vector<std::string> lines;
      pop.CaptureLines(&lines, ".", true);
      pop.CloseConnection();
      for (const auto& line : lines) bytes += line.size() + 2;
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "failed: %s\n", e.what());
    return 1;
  }
  const double ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  const double cpuMs = 1000.0 * double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
  std::printf("%.3f %.3f %zu\n", ms, cpuMs, bytes);
  return 0;
}

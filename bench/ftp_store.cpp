// Stores a local file on an FTP server several times (log in, passive STOR, close) and
// prints the times:
//   bench_ftp_store PORT USER PASSWORD FILE [RUNS]
// scripts/bench runs it against a private vsftpd beside curl uploading the same file.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <vector>

#include "net/ftp.h"

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: %s PORT USER PASSWORD FILE [RUNS]\n", argv[0]);
    return 2;
  }
  const int runs = argc > 5 ? std::atoi(argv[5]) : 5;
  std::vector<double> ms;
  int64_t sent = 0;
  try {
    for (int run = 0; run < runs; ++run) {
      const auto start = std::chrono::steady_clock::now();
      TNetFTP ftp;
      ftp.Host = "127.0.0.1";
      ftp.Port = std::atoi(argv[1]);
      ftp.User = argv[2];
      ftp.Password = argv[3];
      ftp.Passive = true;
      ftp.OnWork = [&](TNetComponent*, TWorkMode, int64_t total) { sent = total; };
      ftp.OpenAndLogIn(true);
      ftp.UploadFile(argv[4], "bench.bin", false);
      ftp.CloseConnection();
      ms.push_back(
          std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
              .count());
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "failed: %s\n", e.what());
    return 1;
  }
  std::sort(ms.begin(), ms.end());
  std::printf("vendlume  STOR:             best %.1f ms, median %.1f ms (%zu runs, %lld bytes)\n",
              ms.front(), ms[ms.size() / 2], ms.size(), static_cast<long long>(sent));
  return 0;
}

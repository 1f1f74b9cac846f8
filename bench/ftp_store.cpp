// Stores a local file on an FTP server once (log in, passive STOR, close) and prints one
// line of figures, so that a script can alternate it run by run with another client:
//   bench_ftp_store PORT USER PASSWORD FILE
// Output: "ELAPSED_MS CPU_MS BYTES". scripts/bench runs it against a private vsftpd,
// alternating with curl uploading the same file.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <exception>

#include "net/ftp.h"

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: %s PORT USER PASSWORD FILE\n", argv[0]);
    return 2;
  }
  int64_t sent = 0;
  const auto start = std::chrono::steady_clock::now();
  const std::clock_t cpuStart = std::clock();
  try {
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
  } catch (const std::exception& e) {
    std::fprintf(stderr, "failed: %s\n", e.what());
    return 1;
  }
  const double ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  const double cpuMs = 1000.0 * double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
  std::printf("%.3f %.3f %lld\n", ms, cpuMs, static_cast<long long>(sent));
  return 0;
}

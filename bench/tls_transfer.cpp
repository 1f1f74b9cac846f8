// One transfer over TLS, timed from connect to close, for scripts/bench-tls, which runs it
// in turn with curl doing the same transfer:
//   bench_tls_transfer pop3 HOST PORT USER PASSWORD        retrieve message 1 (implicit TLS)
//   bench_tls_transfer ftp HOST PORT USER PASSWORD FILE    store FILE (AUTH TLS, PROT P)
//   bench_tls_transfer http URL                           GET into memory
// Prints the elapsed milliseconds and the bytes moved. The server's certificate must be
// trusted (SSL_CERT_FILE names the private CA).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>

#include "mail/message.h"
#include "net/ftp.h"
#include "net/http.h"
#include "net/pop3.h"

namespace {

int64_t Pop3(char** argv) {
  TNetPOP3 pop;
  pop.Host = argv[2];
  pop.Port = std::atoi(argv[3]);
  pop.UserId = argv[4];
  pop.Password = argv[5];
  pop.UseTLS = tlsImplicit;
  int64_t bytes = 0;
  pop.OnWork = [&](TNetComponent*, TWorkMode mode, int64_t total) {
    if (mode == wmRead) bytes = total;
  };
  pop.OpenConnection();
  TNetMessage message;
  if (!pop.RetrieveMessage(1, message)) throw std::runtime_error("no message 1");
  pop.CloseConnection();
  return bytes;
}

int64_t Ftp(char** argv) {
  TNetFTP ftp;
  ftp.Host = argv[2];
  ftp.Port = std::atoi(argv[3]);
  ftp.User = argv[4];
  ftp.Password = argv[5];
  ftp.Passive = true;
  ftp.UseTLS = tlsExplicit;
  int64_t bytes = 0;
  ftp.OnWork = [&](TNetComponent*, TWorkMode mode, int64_t total) {
    if (mode == wmWrite) bytes = total;
  };
  ftp.OpenAndLogIn(true);
  ftp.UploadFile(argv[6], "bench.bin", false);
  ftp.CloseConnection();
  return bytes;
}

int64_t Http(char** argv) {
  TNetHTTP http;
  http.HandleRedirects = true;
  return static_cast<int64_t>(FetchPage(http, argv[2]).size());
}

}  // namespace

int main(int argc, char** argv) {
  const bool ok = argc >= 3 && ((!std::strcmp(argv[1], "pop3") && argc == 6) ||
                                (!std::strcmp(argv[1], "ftp") && argc == 7) ||
                                (!std::strcmp(argv[1], "http") && argc == 3));
  if (!ok) {
    std::fprintf(stderr, "usage: %s pop3 HOST PORT USER PASSWORD | ftp HOST PORT USER PASSWORD FILE | http URL\n",
                 argv[0]);
    return 2;
  }
  try {
    const auto start = std::chrono::steady_clock::now();
    const int64_t bytes = argv[1][0] == 'p' ? Pop3(argv) : argv[1][0] == 'f' ? Ftp(argv) : Http(argv);
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::printf("%.1f %lld\n", ms, static_cast<long long>(bytes));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "failed: %s\n", e.what());
    return 1;
  }
  return 0;
}

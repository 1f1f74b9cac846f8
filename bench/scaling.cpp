// Scaling of the parsers that hostile input reaches: each case runs at a size n and at 8n,
// each run in a child process of its own, and prints the ratio of the times (about 8 when
// the work is linear, 64 when it is quadratic) and the peak memory the run added per input
// byte. Linux only (fork, /proc).
//
//   bench_scaling [case [n]]     cases: words, nesting, names, sections, headers, convert
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <string_view>
#include <thread>

#include "mail/encodedword.h"
#include "mail/message.h"
#include "mail/stringlinereader.h"
#include "net/http.h"
#include "platform/socket.h"
#include "text/textcode.h"

namespace {

long StatusKb(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + std::strlen(field));
  return 0;
}

struct Result {
  double seconds = 0;
  double bytesPerByte = 0;
};

// Builds the input (not measured), then runs the work in a child, measuring its time and
// the growth of its peak resident size over the size before the work.
Result Measure(const std::function<std::string(size_t)>& make,
               const std::function<void(const std::string&)>& work, size_t size) {
  int fds[2];
  if (pipe(fds) != 0) return {};
  const pid_t child = fork();
  if (child == 0) {
    close(fds[0]);
    const std::string input = make(size);
    const long before = StatusKb("VmRSS:");
    { std::ofstream("/proc/self/clear_refs") << "5"; }  // peak resident size := current
    using Clock = std::chrono::steady_clock;
    auto start = Clock::now();
    work(input);
    Result r;
    r.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    r.bytesPerByte = static_cast<double>(StatusKb("VmHWM:") - before) * 1024.0 /
                     static_cast<double>(input.size());
    // The first run also pays for first-touch page faults: the time is the best of further
    // runs (at least two, and for at least 200 ms), which also keeps out other load.
    if (r.seconds < 10) {
      int runs = 0;
      const auto begin = Clock::now();
      do {
        start = Clock::now();
        work(input);
        r.seconds = std::min(r.seconds, std::chrono::duration<double>(Clock::now() - start).count());
        ++runs;
      } while (runs < 2 || Clock::now() - begin < std::chrono::milliseconds(200));
    }
    if (write(fds[1], &r, sizeof r) != sizeof r) _exit(1);
    _exit(0);
  }
  close(fds[1]);
  Result r;
  if (read(fds[0], &r, sizeof r) != sizeof r) r = {};
  close(fds[0]);
  waitpid(child, nullptr, 0);
  return r;
}

std::string Mail(const std::string& contentType, const std::string& body) {
  return "Content-Type: " + contentType + "\r\n\r\n" + body + ".\r\n";
}

void ReadMail(const std::string& wire) {
  TNetStringLineReader reader(wire);
  TNetMessage message;
  ReadMessageHeader(reader, message, "");
  ReadMessageBody(reader, message);
}

// Repeats unit until the text holds about size bytes.
std::string Repeat(const std::string& unit, size_t size) {
  std::string out;
  out.reserve(size + unit.size());
  while (out.size() < size) out += unit;
  return out;
}

// A loopback server that answers one GET with the given header block and an empty body.
void ServeHeaders(const std::string& headers) {
  platform::StartSocketService();
  platform::TcpSocket listener = platform::TcpSocket::Create();
  listener.Bind("127.0.0.1", 0);
  listener.Listen(1);
  std::string ip;
  int port = 0;
  listener.LocalAddress(ip, port);
  std::thread server([&] {
    platform::TcpSocket c = listener.Accept();
    char buf[4096];
    c.Receive(buf, sizeof buf);
    // The input is sent from where it is: a copy here would count as the client's memory.
    for (std::string_view part : {std::string_view("HTTP/1.1 200 OK\r\n"), std::string_view(headers),
                                  std::string_view("Content-Length: 0\r\n\r\n")}) {
      for (size_t sent = 0; sent < part.size();) {
        const long n = c.Send(part.data() + sent, part.size() - sent);
        if (n <= 0) return;
        sent += static_cast<size_t>(n);
      }
    }
  });
  TNetHTTP http;
  TNetMemoryStream stream;
  http.GetToStream("http://127.0.0.1:" + std::to_string(port) + "/", stream);
  server.join();
}

struct Case {
  const char* name;
  const char* what;
  size_t n;
  std::function<std::string(size_t)> make;
  std::function<void(const std::string&)> work;
};

const Case kCases[] = {
    {"words", "Subject of unclosed encoded words", 45000,
     [](size_t n) { return Repeat("=?ISO?q?x", n); },
     [](const std::string& v) { DecodeEncodedWords(v); }},
    {"nesting", "multipart nested at every section", 128000,
     [](size_t n) {
       std::string body;
       for (size_t i = 0; body.size() < n; ++i)
         body += "--b" + std::to_string(i) + "\r\nContent-Type: multipart/mixed; boundary=b" +
                 std::to_string(i + 1) + "\r\n\r\n";
       return Mail("multipart/mixed; boundary=b0", body);
     },
     ReadMail},
    {"names", "sections with a file name and no data", 160000,
     [](size_t n) {
       return Mail("multipart/mixed; boundary=b",
                   Repeat("--b\r\nContent-Type: application/x; name=a.bin\r\n\r\n", n));
     },
     ReadMail},
    {"sections", "many small text sections", 1000000,
     [](size_t n) { return Mail("multipart/mixed; boundary=b", Repeat("--b\r\n\r\nx\r\n", n)); },
     ReadMail},
    {"headers", "HTTP response of Server: lines", 120000,
     [](size_t n) { return Repeat("Server: x\r\n", n); }, ServeHeaders},
    {"convert", "ISO-2022-JP text to Shift-JIS", 4000000,
     [](size_t n) { return Repeat("\x1B$B4A;z%EJ*\x1B(B item 1,980\r\n", n); },
     [](const std::string& v) { ConvertCode(v, kCodeSjis); }},
};

}  // namespace

int main(int argc, char** argv) {
  const char* only = argc > 1 ? argv[1] : nullptr;
  const size_t n = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 0;
  std::printf("%-9s %-40s %10s %10s %10s %7s %8s %8s\n", "case", "input", "n bytes", "t(n) s",
              "t(8n) s", "ratio", "mem/B n", "mem/B 8n");
  for (const Case& c : kCases) {
    if (only && std::strcmp(only, c.name) != 0) continue;
    const size_t size = n ? n : c.n;
    const Result small = Measure(c.make, c.work, size);
    const Result large = Measure(c.make, c.work, 8 * size);
    std::printf("%-9s %-40s %10zu %10.4f %10.4f %7.1f %8.2f %8.2f\n", c.name, c.what, size,
                small.seconds, large.seconds,
                small.seconds > 0 ? large.seconds / small.seconds : 0.0, small.bytesPerByte,
                large.bytesPerByte);
    std::fflush(stdout);
  }
  return 0;
}

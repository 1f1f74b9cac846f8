// Soak: many poll cycles of the controller in one process against a real dovecot, the local
// mall and a real vsftpd (run by scripts/bench-soak, which starts them). Each cycle takes one
// order mail: retrieval, lookups with a review page, save, render, upload. Prints, every
// tenth of the run, the resident memory, the open descriptors, the decoder's temporary files
// left and the rows kept; all of them must stay flat. The same driver is built for Windows
// and run under Wine (scripts/bench-program): there the memory is the working set and the
// descriptors are the process's handles.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#ifdef _WIN32
#include <windows.h>
#include <process.h>
#include <psapi.h>
#else
#include <unistd.h>
#endif

#include "app/form1.h"
#include "base/sjisliteral.h"

namespace fs = std::filesystem;

namespace {

std::map<std::string, std::string> ReadEnv(const std::string& path) {
  std::map<std::string, std::string> values;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);)
    if (auto eq = line.find('='); eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
  return values;
}

size_t Count(const fs::path& folder, const std::string& prefix = "");

#ifdef _WIN32
// The servers' files are on the Linux side of Wine, drive Z:.
std::string HostPath(const std::string& path) { return path.rfind("/", 0) == 0 ? "Z:" + path : path; }

long ResidentKb() {
  PROCESS_MEMORY_COUNTERS counters{};
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return -1;
  return static_cast<long>(counters.WorkingSetSize / 1024);
}

long PeakResidentKb() {
  PROCESS_MEMORY_COUNTERS counters{};
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return -1;
  return static_cast<long>(counters.PeakWorkingSetSize / 1024);
}

// The process's handles; Wine does not count them (0), so there the Unix descriptors of the
// Wine process are counted instead, which its sockets and files hold.
size_t OpenHandles() {
  DWORD handles = 0;
  if (GetProcessHandleCount(GetCurrentProcess(), &handles) && handles > 0) return handles;
  return Count("Z:/proc/self/fd");
}

int ProcessId() { return _getpid(); }
#else
std::string HostPath(const std::string& path) { return path; }

long ResidentKb() {
  std::ifstream in("/proc/self/status");
  for (std::string line; std::getline(in, line);)
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  return -1;
}

long PeakResidentKb() {
  std::ifstream in("/proc/self/status");
  for (std::string line; std::getline(in, line);)
    if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
  return -1;
}

size_t OpenHandles() { return Count("/proc/self/fd"); }

int ProcessId() { return ::getpid(); }
#endif

size_t Count(const fs::path& folder, const std::string& prefix) {
  size_t n = 0;
  std::error_code error;
  for (const auto& e : fs::directory_iterator(folder, error))
    if (e.path().filename().string().rfind(prefix, 0) == 0) ++n;
  return n;
}

void PutMail(const std::string& maildir, int serial) {
  const std::string mail =
      "From: order@example.com\r\nSubject: order\r\nMessage-ID: <soak-" + std::to_string(serial) +
      "@mall.example>\r\nMIME-Version: 1.0\r\nContent-Type: text/plain; charset=Shift_JIS\r\n"
      "Content-Transfer-Encoding: 8bit\r\n\r\n" +
      Sjis("■ ショップ名 ： 桜商店\r\n[日時]     2016-10-24 09:05:33\r\n[注文者] 山田 太郎 様\r\n"
           "〒100-0001 東京都千代田区千代田1-1\r\n(TEL) 03-1234-5678\r\n[商品]\r\n"
           "桜のマグカップ (白) (mug-001)\r\n価格  1,200(円) x " + std::to_string(1 + serial % 9) +
           "(個) = 2,400(円)\r\n**********\r\n");
  const std::string name = "soak" + std::to_string(serial) + ".vdl";
  { std::ofstream(maildir + "/tmp/" + name, std::ios::binary) << mail; }
  fs::rename(maildir + "/tmp/" + name, maildir + "/new/" + name);
}

}  // namespace

int main(int argc, char** argv) {
  const int cycles = argc > 1 ? std::atoi(argv[1]) : 10000;
  const char* servers = std::getenv("VDL_SERVERS");
  const char* mall = std::getenv("VDL_MALL");
  if (!servers || !mall) {
    std::fprintf(stderr, "run through scripts/bench-soak\n");
    return 2;
  }
  auto pop = ReadEnv(HostPath(servers) + "/dovecot/pop3.env");
  auto ftp = ReadEnv(HostPath(servers) + "/ftp/ftp.env");
  pop["MAILDIR"] = HostPath(pop["MAILDIR"]);
  const fs::path work = fs::temp_directory_path() / ("vdl-soak-" + std::to_string(ProcessId()));
  fs::create_directories(work);
  fs::current_path(work);
  {
    std::ofstream ini("Vendlume.ini", std::ios::binary);
    ini << "[POP3]\r\nHost=127.0.0.1\r\nUser=" << pop["USER"] << "\r\nPass=" << pop["PASSWORD"]
        << "\r\nPort=" << pop["PORT"] << "\r\n[FTP]\r\nHost=127.0.0.1\r\nUser=" << ftp["USER"]
        << "\r\nPass=" << ftp["PASSWORD"] << "\r\nPort=" << ftp["PORT"] << "\r\nTarget=soak\r\n"
        << "[HTML]\r\nReview=1\r\n[Mall]\r\nSearchHost=" << mall << "\r\nThumbnailHost=" << mall
        << "\r\nScriptHost=" << mall << "\r\n";
  }
  const fs::path temp = fs::temp_directory_path();
  const size_t tempBefore = Count(temp, "Vdl");
  TForm1 form;
#ifdef _WIN32
  std::printf("%8s %10s %7s %10s %6s %7s %8s\n", "cycle", "ws_kb", "handles", "temp_left", "rows", "failed", "s");
  std::printf("(handles: the Unix descriptors of the Wine process where Windows does not count them)\n");
#else
  std::printf("%8s %10s %7s %10s %6s %7s %8s\n", "cycle", "rss_kb", "fds", "temp_left", "rows", "failed", "s");
#endif
  const auto start = std::chrono::steady_clock::now();
  auto report = [&](int cycle) {
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%8d %10ld %7zu %10zu %6zu %7zu %8.1f\n", cycle, ResidentKb(), OpenHandles(),
                Count(temp, "Vdl") - tempBefore, form.RecentOrders.size(), Count("failed"), s);
    std::fflush(stdout);
  };
  report(0);
  for (int i = 1; i <= cycles; ++i) {
    PutMail(pop["MAILDIR"], i);
    form.PollMailbox();
    if (i % (cycles >= 10 ? cycles / 10 : 1) == 0) report(i);
  }
  const size_t left = Count(pop["MAILDIR"] + "/new") + Count(pop["MAILDIR"] + "/cur");
  std::printf("mails left in the mailbox: %zu; files in the work folder: %zu; peak memory %ld kB\n", left,
              Count(work), PeakResidentKb());
  fs::current_path(temp);
  fs::remove_all(work);
  return 0;
}

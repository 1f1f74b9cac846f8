// Fetches one page from a local web server several times into memory, with the HTTP
// client (into fresh memory each time, as the program does, and into one buffer kept from
// run to run) and with the page fetcher, and prints the times:
//   bench_http_bench URL [RUNS]
// scripts/bench runs it against a private nginx serving a 50 MB file, beside curl fetching
// the same file.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "net/http.h"
#include "net/pagefetch.h"

namespace {

struct Times {
  std::vector<double> ms;
  void Print(const char* what, size_t bytes) {
    std::sort(ms.begin(), ms.end());
    std::printf("vendlume  %-16s best %.1f ms, median %.1f ms (%zu runs, %zu bytes)\n", what,
                ms.front(), ms[ms.size() / 2], ms.size(), bytes);
  }
};

double Since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s URL [RUNS]\n", argv[0]);
    return 2;
  }
  const std::string url = argv[1];
  const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
  Times client, reused, fetcher;
  size_t clientBytes = 0, reusedBytes = 0, fetcherBytes = 0;
  try {
    // Into one stream kept from run to run: the transfer alone, without the cost of fresh
    // memory for the page (which curl, writing to /dev/null, does not have either).
    TNetMemoryStream stream;
    for (int run = 0; run < runs; ++run) {
      const auto start = std::chrono::steady_clock::now();
      TNetHTTP http;
      stream.SetPosition(0);
      http.GetToStream(url, stream);
      reusedBytes = stream.Size();
      reused.ms.push_back(Since(start));
    }
    for (int run = 0; run < runs; ++run) {
      const auto start = std::chrono::steady_clock::now();
      TNetHTTP http;  // a new client, as the program makes a new connection for every call
      http.HandleRedirects = true;
      clientBytes = FetchPage(http, url).size();
      client.ms.push_back(Since(start));
    }
    for (int run = 0; run < runs; ++run) {
      const auto start = std::chrono::steady_clock::now();
      TNetPageHTTP page;
      page.TimeOut = 60000;
      fetcherBytes = page.Get(url).size();
      fetcher.ms.push_back(Since(start));
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "failed: %s\n", e.what());
    return 1;
  }
  client.Print("FetchPage:", clientBytes);
  reused.Print("same buffer:", reusedBytes);
  fetcher.Print("page fetcher:", fetcherBytes);
  return 0;
}

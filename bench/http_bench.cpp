// Fetches one page from a local web server once into memory and prints one line of
// figures, so that a script can alternate it run by run with another client:
//   bench_http_bench URL fetchpage|reused|fetcher
// fetchpage: the HTTP client into fresh memory (FetchPage), as the program does;
// reused:    the HTTP client into a stream that already holds a fetch of the page (the
//            second of two fetches is timed): the transfer without the cost of fresh memory;
// fetcher:   the page fetcher.
// Output: "ELAPSED_MS CPU_MS BYTES". scripts/bench runs it against a private nginx serving
// a 50 MB file, alternating with curl fetching the same file.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <string>

#include "net/http.h"
#include "net/pagefetch.h"

int main(int argc, char** argv) {
  const std::string mode = argc > 2 ? argv[2] : "";
  if (mode != "fetchpage" && mode != "reused" && mode != "fetcher") {
    std::fprintf(stderr, "usage: %s URL fetchpage|reused|fetcher\n", argv[0]);
    return 2;
  }
  const std::string url = argv[1];
  size_t bytes = 0;
  auto start = std::chrono::steady_clock::now();
  std::clock_t cpuStart = std::clock();
  try {
    if (mode == "fetchpage") {
      TNetHTTP http;  // a new client, as the program makes a new connection for every call
      http.HandleRedirects = true;
      bytes = FetchPage(http, url).size();
    } else if (mode == "reused") {
      TNetMemoryStream stream;
      {
        TNetHTTP http;
        http.GetToStream(url, stream);
      }
      start = std::chrono::steady_clock::now();
      cpuStart = std::clock();
      TNetHTTP http;
      stream.SetPosition(0);
      http.GetToStream(url, stream);
      bytes = stream.Size();
    } else {
      TNetPageHTTP page;
      page.TimeOut = 60000;
      bytes = page.Get(url).size();
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

// Text-code conversion of one file to Shift-JIS, timed in process (the file is read first,
// outside the time): prints the milliseconds and the output size. scripts/bench-scaling runs
// it interleaved with iconv on the same file.
//
//   bench_convert FILE [runs]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "text/textcode.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench_convert FILE [runs]\n");
    return 2;
  }
  std::ifstream file(argv[1], std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  const int runs = argc > 2 ? std::atoi(argv[2]) : 1;
  double best = 1e9;
  size_t size = 0;
  for (int i = 0; i < runs; ++i) {
    const auto start = std::chrono::steady_clock::now();
    const std::string out = ConvertCode(text, kCodeSjis);
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (ms < best) best = ms;
    size = out.size();
  }
  std::printf("%.1f %zu\n", best, size);
  return 0;
}

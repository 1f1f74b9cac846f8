// UTF-8 to Shift-JIS of one file as mail text is converted (Utf8ToSjisText), timed in
// process (the file is read first, outside the time). Prints "ms output-bytes". With OUT the
// result is written there (after the timing), for comparison with iconv.
// scripts/bench-scaling runs it interleaved with "iconv -f UTF-8 -t CP932" on the same file.
//
//   bench_utf8_convert FILE [OUT]
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "text/cp932.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench_utf8_convert FILE [OUT]\n");
    return 2;
  }
  std::ifstream file(argv[1], std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());

  const auto start = std::chrono::steady_clock::now();
  const std::string sjis = Utf8ToSjisText(text);
  const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();

  if (argc > 2) {
    std::ofstream out(argv[2], std::ios::binary);
    out.write(sjis.data(), static_cast<std::streamsize>(sjis.size()));
    if (!out) return 1;
  }
  std::printf("%.1f %zu\n", ms, sjis.size());
  return 0;
}

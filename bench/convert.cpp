// Text-code conversion of one file to Shift-JIS, timed in process (the file is read first,
// outside the time). Two ways, each on the same input and each result kept:
//   fresh     ConvertCode: the text stays, the result goes into new storage (detection,
//             the storage's first use and the conversion are all timed);
//   in place  ConvertCodeInPlace on a copy of the text made before the clock starts, as the
//             poll cycle converts the mail text it has just built.
// Prints "fresh-ms in-place-ms output-bytes"; fails when the two results differ. With OUT
// the result is written there (after the timing), for comparison with another converter.
// scripts/bench-scaling runs it interleaved with iconv on the same file.
//
//   bench_convert FILE [OUT]
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "text/textcode.h"

namespace {

double MillisecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench_convert FILE [OUT]\n");
    return 2;
  }
  std::ifstream file(argv[1], std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());

  auto start = std::chrono::steady_clock::now();
  const std::string fresh = ConvertCode(text, kCodeSjis);
  const double freshMs = MillisecondsSince(start);

  std::string inPlace = text;
  start = std::chrono::steady_clock::now();
  ConvertCodeInPlace(inPlace, kCodeSjis);
  const double inPlaceMs = MillisecondsSince(start);

  if (inPlace != fresh) {
    std::fprintf(stderr, "bench_convert: the two conversions differ\n");
    return 1;
  }
  if (argc > 2) {
    std::ofstream out(argv[2], std::ios::binary);
    out.write(fresh.data(), static_cast<std::streamsize>(fresh.size()));
    if (!out) return 1;
  }
  std::printf("%.1f %.1f %zu\n", freshMs, inPlaceMs, fresh.size());
  return 0;
}

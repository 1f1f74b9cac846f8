// Text-code detection and conversion. The input is copied into storage of exactly its size,
// so that a read past its end is caught; the output of a conversion to Shift-JIS is never
// longer than its input.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>

#include "text/jis.h"
#include "text/textcode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::unique_ptr<char[]> exact(new char[size ? size : 1]);
  if (size) std::memcpy(exact.get(), data, size);
  const std::string_view text(exact.get(), size);
  const int code = DetectCode(text);
  if (code < 0 || code > 6) std::abort();
  if (ConvertCode(text, 5).size() > size) std::abort();
  if (JisToSjis(text).size() > size) std::abort();
  return 0;
}

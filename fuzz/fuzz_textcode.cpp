// Text-code detection and conversion. The input is copied into storage of exactly its size,
// so that a read past its end is caught. The conversion (block loops, into fresh storage
// and in place) must give exactly the bytes of the plain byte-by-byte conversion, which is
// never longer than the input.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>

#include "support/textcode_reference.h"
#include "text/jis.h"
#include "text/textcode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::unique_ptr<char[]> exact(new char[size ? size : 1]);
  if (size) std::memcpy(exact.get(), data, size);
  const std::string_view text(exact.get(), size);
  const int code = DetectCode(text);
  if (code < 0 || code > 6) std::abort();
  const std::string expected = testing_support::ReferenceConvertCode(text, 5);
  if (expected.size() > size) std::abort();
  if (ConvertCode(text, 5) != expected) std::abort();
  std::string inPlace(text);
  ConvertCodeInPlace(inPlace, 5);
  if (inPlace != expected) std::abort();
  if (JisToSjis(text) != testing_support::ReferenceJisToSjis(text)) std::abort();
  return 0;
}

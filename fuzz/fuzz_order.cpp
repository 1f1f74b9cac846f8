// The order-mail parser on any text: it ends, or fails with one of its reported errors.
#include <cstdint>
#include <string>

#include "base/errors.h"
#include "intake/orderparser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  try {
    ParseOrderMail(text);
  } catch (const std::exception&) {  // EConvertError, EVendlumeError: reported failures
  }
  return 0;
}

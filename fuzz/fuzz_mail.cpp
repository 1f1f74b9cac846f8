// The mail decoder fed from lines: header block, encoded words, multipart structure,
// base64 and quoted-printable. Besides crashes it checks that decoding stays within a time
// proportional to the input.
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/netexceptions.h"
#include "mail/message.h"
#include "mail/stringlinereader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string wire(reinterpret_cast<const char*>(data), size);
  wire += "\r\n.\r\n";  // every input ends as a retrieved mail does
  const auto start = std::chrono::steady_clock::now();
  try {
    TNetStringLineReader reader(wire);
    TNetMessage message;
    if (ReadMessageHeader(reader, message, "")) ReadMessageBody(reader, message);
  } catch (const ENetException&) {
  } catch (const std::runtime_error&) {  // a temporary file that cannot be written
  }
  // Linear work: far below a microsecond per byte even under the sanitizers.
  const auto spent = std::chrono::steady_clock::now() - start;
  if (spent > std::chrono::milliseconds(200) + std::chrono::microseconds(20) * size) std::abort();
  return 0;
}

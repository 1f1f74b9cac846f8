// The mail decoder fed from lines: header block, encoded words, multipart structure,
// base64 and quoted-printable, then the order text (the declared charset, HTML to text).
// Besides crashes it checks that decoding stays within a time proportional to the input and
// that the order text is whole Shift-JIS: no lead byte without its trail byte.
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/netexceptions.h"
#include "mail/message.h"
#include "mail/ordertext.h"
#include "mail/stringlinereader.h"

namespace {

bool IsWholeSjis(const std::string& text) {
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (!((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC))) continue;
    if (i + 1 == text.size()) return false;
    const auto trail = static_cast<unsigned char>(text[++i]);
    if (trail < 0x40 || trail == 0x7F || trail > 0xFC) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string wire(reinterpret_cast<const char*>(data), size);
  wire += "\r\n.\r\n";  // every input ends as a retrieved mail does
  const auto start = std::chrono::steady_clock::now();
  try {
    TNetStringLineReader reader(wire);
    TNetMessage message;
    if (ReadMessageHeader(reader, message, "")) ReadMessageBody(reader, message);
    if (const TNetText* part = OrderTextPart(message)) {
      if (!IsWholeSjis(OrderText(*part))) std::abort();
    }
  } catch (const ENetException&) {
  } catch (const std::runtime_error&) {  // a temporary file that cannot be written
  }
  // Linear work: far below a microsecond per byte even under the sanitizers.
  const auto spent = std::chrono::steady_clock::now() - start;
  if (spent > std::chrono::milliseconds(200) + std::chrono::microseconds(20) * size) std::abort();
  return 0;
}

// FTP and POP3 reply lines: the PASV reply's numbers, and the "+OK count size" reading of
// a STAT reply.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/errors.h"
#include "base/netexceptions.h"
#include "net/ftpparse.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string line(reinterpret_cast<const char*>(data), size);
  try {
    const TFtpDataAddress address = ParsePassiveReply(line);
    if (address.Port < 0 || address.Port > 65535) std::abort();
  } catch (const ENetException&) {
  } catch (const EConvertError&) {
  }
  return 0;
}

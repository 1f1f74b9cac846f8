// The HTTP response text: status line, header fields, chunk-size lines, body framing and
// the resolution of a Location. Checks that a resolved Location, sent as a request target,
// never carries a byte that could end the request line.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/errors.h"
#include "base/netexceptions.h"
#include "mail/headerlist.h"
#include "net/httpheaders.h"
#include "net/httpparse.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  THttpHeaderLines headers;  // as the client keeps them
  std::string status;
  size_t start = 0;
  for (bool first = true; start <= text.size(); first = false) {
    size_t lf = text.find('\n', start);
    if (lf == std::string::npos) lf = text.size();
    std::string line = text.substr(start, lf - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (first) status = line;
    else headers.Add(line);
    start = lf + 1;
  }
  try {
    const THttpStatusLine parsed = ParseStatusLine(status);
    BodyFraming(false, parsed.StatusCode, headers);
  } catch (const EConvertError&) {
  }
  ParseChunkSize(status);
  const TNetHeaderInfo info = ResponseHeaderInfo(headers);
  const std::string next = ResolveLocation("http://127.0.0.1:8080/dir/page.html?x=1", info.Location);
  const THttpAddress address = SplitHttpAddress(next);
  for (char c : RequestTarget(address.Target())) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u <= 0x20 || u == 0x7F) std::abort();
  }
  try {
    CheckRequestHost(address.Host);
    for (char c : address.Host)
      if (c == '\r' || c == '\n') std::abort();
  } catch (const ENetException&) {
  }
  return 0;
}

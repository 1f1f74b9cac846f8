#include "net/httpparse.h"

#include <algorithm>
#include <vector>

#include "base/netexceptions.h"
#include "base/numtext.h"
#include "base/sjisliteral.h"
#include "text/asciitext.h"
#include "text/sjissearch.h"

namespace {

constexpr size_t npos = std::string::npos;

// RFC 3986: ALPHA *( ALPHA / DIGIT / "+" / "-" / "." )
bool IsScheme(std::string_view s) {
  if (s.empty() || !((s[0] >= 'a' && s[0] <= 'z') || (s[0] >= 'A' && s[0] <= 'Z'))) return false;
  for (char c : s) {
    bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
              c == '+' || c == '-' || c == '.';
    if (!ok) return false;
  }
  return true;
}

// RFC 3986 5.2.4 for a path that begins with "/"; a query after "?" is kept as it is.
std::string RemoveDotSegments(const std::string& reference) {
  const size_t q = reference.find('?');
  const std::string path = reference.substr(0, q);
  const std::string query = q == npos ? "" : reference.substr(q);
  std::vector<std::string> kept;
  size_t start = 1;
  for (;;) {
    const size_t slash = path.find('/', start);
    const std::string segment = path.substr(start, slash == npos ? npos : slash - start);
    const bool last = slash == npos;
    if (segment == "." || segment == "..") {
      if (segment == ".." && !kept.empty()) kept.pop_back();
      if (last) kept.emplace_back();  // "/a/.." names the folder "/"
    } else {
      kept.push_back(segment);
    }
    if (last) break;
    start = slash + 1;
  }
  std::string out;
  for (const std::string& segment : kept) out += "/" + segment;
  return (out.empty() ? "/" : out) + query;
}

}  // namespace

int THttpAddress::Port() const {
  auto port = ParseDecimal(PortText);
  return port ? static_cast<int>(std::min<int64_t>(*port, int64_t{1} << 30)) : -1;
}

THttpAddress SplitHttpAddress(std::string_view address) {
  std::string text(address);
  for (size_t i = 0; i < text.size(); ++i) {
    if (IsSjisLeadByte(static_cast<unsigned char>(text[i]))) ++i;  // its trail byte may be 5C
    else if (text[i] == '\\') text[i] = '/';
  }
  THttpAddress a;
  // The fragment goes first, so that a "/" inside it cannot move the path's end.
  if (size_t hash = text.find('#'); hash != npos) {
    a.Fragment = text.substr(hash + 1);
    text.resize(hash);
  }
  std::string rest = text;
  if (size_t scheme = text.find("://"); scheme != npos) {
    a.Protocol = text.substr(0, scheme);
    rest = text.substr(scheme + 3);
    const size_t slash = rest.find('/');
    const std::string hostPart = rest.substr(0, slash);
    rest = slash == npos ? "" : rest.substr(slash);
    const size_t close = hostPart.starts_with('[') ? hostPart.find(']') : npos;
    const size_t colon = hostPart.find(':', close == npos ? 0 : close);
    a.Host = close == npos ? hostPart.substr(0, colon) : hostPart.substr(1, close - 1);
    if (colon != npos) a.PortText = hostPart.substr(colon + 1);
  }
  const size_t last = rest.rfind('/');
  if (last == npos) {
    a.Document = rest;
  } else {
    a.Path = rest.substr(0, last + 1);
    a.Document = rest.substr(last + 1);
  }
  if (a.Path.empty() || a.Path[0] != '/') a.Path.insert(0, "/");
  return a;
}

std::string ResolveLocation(std::string_view base, std::string_view location) {
  const std::string ref(Trimmed(location));
  if (size_t scheme = ref.find("://"); scheme != npos && IsScheme(std::string_view(ref).substr(0, scheme)))
    return ref;
  const THttpAddress b = SplitHttpAddress(base);
  const std::string protocol = b.Protocol.empty() ? "http" : b.Protocol;
  if (ref.compare(0, 2, "//") == 0) return protocol + ":" + ref;
  const std::string origin =
      protocol + "://" + AddressHost(b.Host) + (b.PortText.empty() ? "" : ":" + b.PortText);
  const std::string target = b.Target();
  const std::string targetPath = target.substr(0, target.find('?'));
  if (ref.empty() || ref[0] == '#') return origin + target + ref;
  if (ref[0] == '?') return origin + targetPath + ref;
  if (ref[0] == '/') return origin + RemoveDotSegments(ref);
  return origin + RemoveDotSegments(targetPath.substr(0, targetPath.rfind('/') + 1) + ref);
}

namespace {
bool IsControlOrBlank(char c) {
  const unsigned char u = static_cast<unsigned char>(c);
  return u <= 0x20 || u == 0x7F;
}
}  // namespace

std::string AddressHost(std::string_view host) {
  if (host.find(':') == npos) return std::string(host);
  return "[" + std::string(host) + "]";
}

std::string HostFieldValue(std::string_view host, int port, int defaultPort) {
  return AddressHost(host) + (port == defaultPort ? "" : ":" + IntToStr(port));
}

std::string RequestTarget(std::string_view target) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(target.size());
  for (char c : target) {
    if (!IsControlOrBlank(c)) {
      out += c;
      continue;
    }
    const unsigned char u = static_cast<unsigned char>(c);
    out += '%';
    out += kHex[u >> 4];
    out += kHex[u & 15];
  }
  return out;
}

void CheckRequestHost(std::string_view host) {
  if (host.empty() || std::any_of(host.begin(), host.end(), IsControlOrBlank))
    throw ENetException("Invalid host name \"" + RequestTarget(host) + "\".");
}

THttpStatusLine ParseStatusLine(const std::string& line) {
  THttpStatusLine status;
  status.Http10 = line.size() >= 8 && line.compare(5, 3, "1.0") == 0;
  const size_t space = line.find(' ');
  if (space != npos) status.StatusText = line.substr(space + 1);
  status.StatusCode = StrToInt(status.StatusText.substr(0, status.StatusText.find(' ')));
  return status;
}

std::optional<uint64_t> ParseChunkSize(std::string_view line) {
  uint64_t size = 0;
  size_t i = 0, significant = 0;
  for (; i < line.size(); ++i) {
    const int digit = HexDigitValue(line[i]);
    if (digit < 0) break;
    if (size != 0 || digit != 0) ++significant;
    if (significant > 15) return std::nullopt;
    size = size * 16 + static_cast<uint64_t>(digit);
  }
  if (i == 0) return std::nullopt;
  if (i < line.size() && !IsBlank(line[i]) && line[i] != ';') return std::nullopt;
  return size;
}

std::optional<int64_t> ParseDecimal(std::string_view text) {
  const std::string_view digits = Trimmed(text);
  if (digits.empty() || digits.size() > 18) return std::nullopt;
  int64_t value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

THttpBodyFraming BodyFramingOf(bool headRequest, int statusCode, std::string_view transferEncoding,
                               std::string_view contentLength) {
  if (headRequest || (statusCode >= 100 && statusCode < 200) || statusCode == 204 ||
      statusCode == 304)
    return {};
  if (AsciiLowerCase(transferEncoding).find("chunked") != npos)
    return {THttpBodyFraming::kChunked, 0};
  if (auto n = ParseDecimal(contentLength)) {
    if (*n == 0) return {};
    return {THttpBodyFraming::kLength, *n};
  }
  return {THttpBodyFraming::kUntilClose, 0};
}

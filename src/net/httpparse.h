// The pure text work of the HTTP clients: splitting and resolving addresses, reading the
// status line and chunk sizes, and deciding how a response's body is framed.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>


// An address cut into its pieces. Path + Document is the request target: everything after
// the host part, without the fragment.
struct THttpAddress {
  std::string Protocol;  // the text before "://", empty without it
  std::string Host;      // empty without "://"
  std::string PortText;  // after the host part's first ":", empty without one
  std::string Path;      // up to and including the target's last "/"; always begins with "/"
  std::string Document;  // after the last "/", query included
  std::string Fragment;  // after the first "#", never sent

  // The port text as a number (also one out of the port range, which the connect refuses),
  // -1 when absent or not a number.
  int Port() const;
  std::string Target() const { return Path + Document; }
};

// Backslashes outside Shift-JIS double-byte characters count as "/". With "://", the host
// part runs up to the next "/" and splits at its first ":" into host and port (an IPv6
// host in brackets, "[::1]:8080", at the first ":" after the "]", the host without its
// brackets); the fragment
// is cut off at the first "#"; the rest splits at its last "/" into path and document.
THttpAddress SplitHttpAddress(std::string_view address);

// The absolute address that a "Location" value names, relative to the absolute address of
// the request it answered (RFC 3986 reference resolution: an absolute address as it is;
// "//host..." with the base's protocol; "/path", "?query" and relative paths on the base's
// host and port, with "." and ".." segments removed).
std::string ResolveLocation(std::string_view base, std::string_view location);

// The host as an address or a "Host" field writes it: an IPv6 address in brackets.
std::string AddressHost(std::string_view host);

// The "Host" field's value (RFC 7230 5.4): the host, and ":" and the port unless it is the
// scheme's default port.
std::string HostFieldValue(std::string_view host, int port, int defaultPort);

// The request target as it goes on the request line: bytes up to 0x20 (controls, CR, LF,
// the blank) and 0x7F percent-encoded, so that no address (nor a Location sent by a
// server) can end the request line or add header lines.
std::string RequestTarget(std::string_view target);

// Throws ENetException ("Invalid host name ...") when the host is empty or holds a byte up
// to 0x20 or 0x7F, before anything is sent.
void CheckRequestHost(std::string_view host);

struct THttpStatusLine {
  bool Http10 = false;     // characters 6 to 8 of the line are "1.0"
  std::string StatusText;  // the line without its first word
  int StatusCode = 0;      // the first word of StatusText
};
// Throws EConvertError ("'%s' は整数ではありません") when the code is not a number.
THttpStatusLine ParseStatusLine(const std::string& line);

// The size at the start of a chunk-size line (hexadecimal digits, either case), before any
// chunk extension (";name=value", also after blanks). Empty when the line does not begin
// with a hexadecimal digit or the size does not fit in 60 bits.
std::optional<uint64_t> ParseChunkSize(std::string_view line);

// A decimal whole number of at most 18 digits between optional blanks, else empty.
std::optional<int64_t> ParseDecimal(std::string_view text);

// How the body of a response arrives.
struct THttpBodyFraming {
  enum Kind { kNone, kLength, kChunked, kUntilClose } kind = kNone;
  int64_t length = 0;  // for kLength
};
// None for a response to HEAD, a 1xx, 204 or 304, or a "Content-Length" of 0; chunked when
// "Transfer-Encoding" names "chunked" (it overrides a length, as RFC 7230 3.3.3 requires);
// the length when "Content-Length" is a number; else until the server closes. Headers is
// any list of header lines with Value(name) (TNetHeaderList, THttpHeaderLines).
THttpBodyFraming BodyFramingOf(bool headRequest, int statusCode, std::string_view transferEncoding,
                               std::string_view contentLength);
template <class Headers>
THttpBodyFraming BodyFraming(bool headRequest, int statusCode, const Headers& headers) {
  return BodyFramingOf(headRequest, statusCode, headers.Value("Transfer-Encoding"),
                       headers.Value("Content-Length"));
}

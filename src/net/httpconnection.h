// What both HTTP clients share: a TCP client that reads HTTP responses (the status line,
// the header block, and the body by its framing) into a memory stream. Every wait is
// bounded by the inactivity limit and, while a call sets one, by a deadline for the call.
#pragma once
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "net/httpheaders.h"
#include "net/httpparse.h"
#include "net/memorystream.h"
#include "net/tcpclient.h"

// The most bytes of a status line and its header block together; also of one chunk-size
// line, and of a chunked body's trailer block. Beyond it the read fails with
// ENetLimitExceeded.
constexpr size_t kMaxHttpHeaderSize = size_t{1} << 20;

// Bodies are bulk transfers: one socket read of an HTTP client asks for up to this many
// bytes (a quarter of the system calls of the connection layer's default, which on
// loopback is the difference between keeping pace with the peer and not).
constexpr int kHttpRecvBufferSize = 256 * 1024;

struct THttpResponseHead {
  std::string StatusLine;
  THttpHeaderLines Headers;
};

class TNetHTTPConnection : public TNetTCPClient {
 public:
  TNetHTTPConnection() { RecvBufferSize = kHttpRecvBufferSize; }

 protected:
  using Clock = std::chrono::steady_clock;

  // OpenConnection, with the connect also ending at the deadline.
  void Connect();
  // "https" (in any case) means TLS from the first byte, any other scheme none; an open
  // connection of the other kind is closed. The scheme's port: 443 or 80.
  int UseScheme(const std::string& protocol);
  // The "Host" field for Host and Port: the port only when it is not the scheme's.
  std::string HostField() const;
  // Whether the open connection can carry another request: nothing unread is queued, and
  // the server has neither sent more nor closed it. A connection that cannot is closed.
  bool ReusableConnection();
  // The status line and the header lines up to the first empty line.
  THttpResponseHead ReadResponseHead();
  // The body, as framed, into the stream at its position. A body the stream cannot hold
  // fails with ENetLimitExceeded, a close before its end with ENetConnClosedGracefully;
  // both leave the connection closed.
  void ReadBody(const THttpBodyFraming& framing, TNetMemoryStream& stream);

  std::optional<Clock::time_point> deadline_;  // the end of the whole call, when set

 private:
  // One line up to LF (one CR before it dropped), taking its bytes from the budget.
  std::string ReadResponseLine(size_t& budget);
  // One socket read into the queue. 0 only when the peer has closed (with report false, or
  // with bytes still queued). A wait that reaches the deadline or the inactivity limit
  // closes the connection and throws ENetSocketError 10060.
  size_t Fill(bool report);
  [[noreturn]] void FailTimedOut();
  void ReadCount(TNetMemoryStream& stream, uint64_t count);
  void ReadChunks(TNetMemoryStream& stream);
  void ReadUntilClose(TNetMemoryStream& stream);
  // Moves count queued bytes into the stream.
  void TakeQueued(TNetMemoryStream& stream, size_t count);
  // One socket read of up to count bytes straight into the stream at its position, bounded
  // as Fill is; 0 only when the peer has closed.
  size_t ReceiveInto(TNetMemoryStream& stream, size_t count, bool report);
};

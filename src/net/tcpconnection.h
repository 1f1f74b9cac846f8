// The blocking TCP connection every protocol client is built on: a receive queue read as
// lines, byte counts or streams; writes of bytes, text and streams; the command/reply
// exchange of line protocols; detection of a peer's close; progress and status events.
//
// Nothing waits forever: connecting, every wait for data and every send give up after
// InactivityTimeout ms without progress, close the connection and throw ENetSocketError
// 10060 ("Connection timed out."). While a read waits, the idle pump (net/idlepump.h)
// lets the program process its window messages.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "base/linereader.h"
#include "net/netbuffer.h"
#include "net/netcomponent.h"
#include "net/netstack.h"
#include "net/sockethandle.h"

// A wait without a time limit of its own (still bounded by InactivityTimeout).
constexpr int kNoTimeLimit = -2;
constexpr int kDefaultInactivityTimeout = 60000;  // ms

// Limits on what a peer can make the client hold; beyond them the read fails with
// ENetLimitExceeded and the connection is closed.
constexpr size_t kMaxLineLength = size_t{32} << 20;   // one line, terminator excluded
constexpr size_t kMaxReplySize = size_t{32} << 20;    // all lines of one reply
constexpr size_t kMaxMessageSize = size_t{64} << 20;  // all lines of one captured answer

class TNetTCPConnection : public TNetComponent, public TNetLineReader {
 public:
  int RecvBufferSize = 32768;  // most bytes one socket read asks for
  int SendBufferSize = 32768;  // block size of stream uploads
  int InactivityTimeout = kDefaultInactivityTimeout;

  // The last reply: its lines, and 1 for "+OK", 0 for "-ERR", else its three-digit code.
  std::vector<std::string> ReplyLines;
  int16_t ReplyNumber = 0;

  std::function<void(TNetComponent* Sender)> OnDisconnected;
  std::function<void(TNetComponent* Sender, TWorkMode mode, int64_t expected)> OnWorkBegin;
  std::function<void(TNetComponent* Sender, TWorkMode mode, int64_t total)> OnWork;
  std::function<void(TNetComponent* Sender, TWorkMode mode)> OnWorkEnd;

  const TNetSocketHandle& Binding() const { return binding_; }
  // Bytes received and not yet consumed.
  size_t QueuedBytes() const { return receiveQueue_.Size(); }
  // Whether the last ReadLine ended for lack of data within its timeout.
  bool LineTimedOut() const { return lineTimedOut_; }

  // Shuts down and closes the socket, if one is held (OnDisconnected fires). Queued bytes
  // stay until the next open. Clients wrap it with their protocol's goodbye.
  virtual void CloseConnection();
  bool IsOpen();
  // When the peer closed or no socket is held: closes a still-held socket, then, if report
  // and (ignoreQueue or nothing is queued), throws ENetConnClosedGracefully.
  void CheckPeerClosed(bool report, bool ignoreQueue);
  // Whether data (or a close) arrived within timeoutMs of waiting; kNoTimeLimit waits up to
  // the inactivity limit and then throws. Time spent in the pump's message handlers does not
  // count as waiting.
  bool WaitReadable(int timeoutMs);
  // One socket read appended to the queue; 0 when nothing came (timeout, or peer closed
  // with data still queued).
  size_t FillReceiveQueue(bool report = true, int timeoutMs = kNoTimeLimit);

  // The bytes up to the terminator (default: LF, and one CR before it is dropped too).
  // Empty with LineTimedOut() set when timeoutMs passed without a line. A line cut off by
  // the peer's close is not delivered: ENetConnClosedGracefully comes instead.
  std::string ReadLine(const std::string& terminator = "", int timeoutMs = kNoTimeLimit);
  std::string_view ReadLn() override;
  // Complete lines are taken straight out of the receive queue, many at a time: runs of
  // lines that end in CR LF are appended with one copy.
  bool ReadDotLines(std::string& text, size_t limit) override;
  void ReadExact(void* destination, int64_t count);
  // count -1 (and not untilClose): the count comes first as a 4-byte network-order number.
  void ReadIntoStream(std::ostream& stream, int64_t count = -1, bool untilClose = false);

  void WriteBytes(const void* source, int64_t count);
  void WriteText(const std::string& text);
  void WriteLine(const std::string& text);  // text + CR LF
  // The stream from its start (or its position) to its end, optionally preceded by the size
  // as a 4-byte network-order number. A stream that runs dry throws ENetNoDataToRead.
  void WriteFromStream(std::istream& stream, bool fromStart = true, bool withCount = false);

  // Reads lines until one equals endLine (consumed, not stored). In mail mode a line that
  // begins with ".." loses its first ".". A null destination discards the lines.
  void CaptureLines(std::vector<std::string>* destination, const std::string& endLine,
                    bool mailMode);
  // Reads one reply (several lines for "nnn-" ... "nnn "), sets ReplyLines and ReplyNumber;
  // a number outside a non-empty accepted list throws ENetProtocolReplyError with the last
  // line.
  int16_t ReadReply(const std::vector<int>& accepted);
  // Sends the line (unless it is the single NUL character) and reads the reply, accepting
  // only the given number (-1: any).
  int16_t SendCommand(const std::string& text, int accepted = -1);
  std::string LastReplyLine() const;

  void PumpIdleMessages(bool idle, bool override);

 protected:
  void BeginWork(TWorkMode mode, int64_t expected);
  void DoWork(TWorkMode mode, int64_t count);
  void EndWork(TWorkMode mode);
  // Closes the socket and empties the queue, then throws: the stream can no longer be
  // followed after a broken limit.
  [[noreturn]] void FailLimit(const std::string& text);

  // One socket read of up to size bytes into the queue (block null) or into block (bytes
  // reported as read work).
  size_t Receive(char* block, size_t size, bool report, int timeoutMs);

  TNetSocketHandle binding_;
  TNetBuffer receiveQueue_;
  bool closedByPeer_ = false;

 private:
  class WorkScope;
  struct WorkCounter {
    int nesting = 0;
    int64_t total = 0;
  };
  [[noreturn]] void FailTimedOut();
  [[noreturn]] void FailLineTooLong();
  // ReadLine's work, the line left in the receive queue (valid until the queue next fills).
  std::string_view TakeLine(std::string_view terminator, int timeoutMs);
  std::string ReadReplyLine(size_t& total);

  bool lineTimedOut_ = false;
  WorkCounter work_[2];
};

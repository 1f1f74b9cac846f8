#include "net/tcpconnection.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <istream>
#include <ostream>

#include "base/errors.h"
#include "base/numtext.h"
#include "text/asciitext.h"
#include "base/sjisliteral.h"
#include "net/idlepump.h"
#include "base/netexceptions.h"

namespace {

using Clock = std::chrono::steady_clock;

bool StartsNoCase(const std::string& text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    char a = text[i], b = prefix[i];
    if (a >= 'a' && a <= 'z') a = static_cast<char>(a - 'a' + 'A');
    if (b >= 'a' && b <= 'z') b = static_cast<char>(b - 'a' + 'A');
    if (a != b) return false;
  }
  return true;
}


void CheckStream(const std::ostream& stream) {
  static const std::string writeError = Sjis("ストリームへの書き込みエラー");
  if (!stream) throw EWriteError(writeError);
}

}  // namespace

// Begin and end of one piece of progress work, also when it fails half-way.
class TNetTCPConnection::WorkScope {
 public:
  WorkScope(TNetTCPConnection& connection, TWorkMode mode, int64_t expected)
      : connection_(connection), mode_(mode) {
    connection_.BeginWork(mode, expected);
  }
  ~WorkScope() { connection_.EndWork(mode_); }

 private:
  TNetTCPConnection& connection_;
  TWorkMode mode_;
};

void TNetTCPConnection::CloseConnection() {
  if (!binding_.Allocated()) return;
  DoStatus(nsDisconnecting, binding_.PeerIP);
  binding_.Socket.ShutdownSend();
  binding_.Reset();
  closedByPeer_ = true;
  DoStatus(nsDisconnected);
  if (OnDisconnected) OnDisconnected(this);
}

bool TNetTCPConnection::IsOpen() {
  CheckPeerClosed(false, false);
  return binding_.Allocated();
}

void TNetTCPConnection::CheckPeerClosed(bool report, bool ignoreQueue) {
  if (!closedByPeer_ && binding_.Allocated()) return;
  // The plain close: a client's goodbye would write to the closed connection again.
  if (binding_.Allocated()) TNetTCPConnection::CloseConnection();
  if (report && (ignoreQueue || receiveQueue_.Empty())) throw ENetConnClosedGracefully();
}

void TNetTCPConnection::FailTimedOut() {
  TNetTCPConnection::CloseConnection();
  RaiseSocketError(platform::kSocketErrorTimedOut);
}

void TNetTCPConnection::FailLineTooLong() {
  FailLimit("Line longer than " + IntToStr(kMaxLineLength) + " bytes.");
}

void TNetTCPConnection::FailLimit(const std::string& text) {
  TNetTCPConnection::CloseConnection();
  receiveQueue_.Clear();
  throw ENetLimitExceeded(text);
}

bool TNetTCPConnection::WaitReadable(int timeoutMs) {
  if (!binding_.Allocated()) throw ENetConnClosedGracefully();
  const bool unlimited = timeoutMs < 0;
  // Only the time spent waiting on the socket counts: a message handler that runs long
  // inside the pump does not make the peer look silent.
  int64_t left = unlimited ? InactivityTimeout : timeoutMs;
  TNetIdlePump* pump = TNetIdlePump::Current();
  const int slice = pump && pump->Active ? std::max(pump->IdleTimeOut, 1) : -1;
  for (;;) {
    int wait = static_cast<int>(std::max<int64_t>(left, 0));
    if (slice > 0) wait = std::min(wait, slice);
    const auto before = Clock::now();
    int ready = binding_.Socket.WaitReadable(wait);
    if (ready < 0) RaiseSocketError(platform::LastSocketError());
    const auto waited =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - before).count();
    left -= std::max<int64_t>(waited, 1);
    PumpIdleMessages(ready == 0, false);
    if (ready == 1) return true;
    if (left <= 0) break;
  }
  if (unlimited) FailTimedOut();
  return false;
}

size_t TNetTCPConnection::Receive(char* block, size_t size, bool report, int timeoutMs) {
  CheckPeerClosed(report, false);
  if (!IsOpen()) return 0;
  if (!WaitReadable(timeoutMs)) return 0;
  char* target = block ? block : receiveQueue_.Reserve(size);
  long received = binding_.Socket.Receive(target, size);
  int error = received < 0 ? platform::LastSocketError() : 0;
  if (!block) receiveQueue_.Commit(received > 0 ? static_cast<size_t>(received) : 0);
  if (received < 0) {
    if (error != platform::kSocketErrorShutdown) RaiseSocketError(error);
    TNetTCPConnection::CloseConnection();
    if (receiveQueue_.Empty()) RaiseSocketError(error);
    received = 0;
  }
  closedByPeer_ = received == 0;
  if (block && received > 0) DoWork(wmRead, received);
  CheckPeerClosed(report, false);
  return static_cast<size_t>(received);
}

size_t TNetTCPConnection::FillReceiveQueue(bool report, int timeoutMs) {
  return Receive(nullptr, static_cast<size_t>(std::max(RecvBufferSize, 1)), report, timeoutMs);
}

std::string TNetTCPConnection::ReadLine(const std::string& terminator, int timeoutMs) {
  return std::string(TakeLine(terminator, timeoutMs));
}

std::string_view TNetTCPConnection::ReadLn() { return TakeLine({}, kNoTimeLimit); }

std::string_view TNetTCPConnection::TakeLine(std::string_view terminator, int timeoutMs) {
  const std::string_view term = terminator.empty() ? "\n" : terminator;
  lineTimedOut_ = false;
  size_t at;
  while ((at = receiveQueue_.Find(term)) == TNetBuffer::npos) {
    // Room for the terminator and a CR before it; anything more can only be too long.
    if (receiveQueue_.Size() > kMaxLineLength + term.size() + 1) FailLineTooLong();
    CheckPeerClosed(true, true);
    if (FillReceiveQueue(true, timeoutMs) == 0) {
      if (closedByPeer_ || !binding_.Allocated()) throw ENetConnClosedGracefully();
      lineTimedOut_ = true;
      return {};
    }
  }
  std::string_view line = receiveQueue_.Take(at + term.size());
  DoWork(wmRead, static_cast<int64_t>(line.size()));
  line.remove_suffix(term.size());
  if (terminator.empty() && line.ends_with('\r')) line.remove_suffix(1);
  if (line.size() > kMaxLineLength) FailLineTooLong();
  return line;
}

bool TNetTCPConnection::ReadDotLines(std::string& text, size_t limit) {
  const size_t stop = text.size() + limit;
  for (;;) {
    // The complete lines already queued.
    const std::string_view queued = receiveQueue_.View();
    const char* const bytes = queued.data();
    size_t pos = 0;     // start of the next line
    size_t copied = 0;  // the queued bytes before this are in text, or dropped
    bool ended = false;
    while (text.size() + (pos - copied) < stop) {
      // An empty queue may have no storage at all: memchr must not see its null pointer.
      const void* hit = pos < queued.size() ? std::memchr(bytes + pos, '\n', queued.size() - pos) : nullptr;
      if (!hit) break;
      const size_t lf = static_cast<size_t>(static_cast<const char*>(hit) - bytes);
      const size_t lineEnd = lf > pos && bytes[lf - 1] == '\r' ? lf - 1 : lf;
      if (lineEnd - pos > kMaxLineLength) FailLineTooLong();
      if (bytes[pos] == '.') {
        if (lineEnd - pos == 1) {
          text.append(bytes + copied, pos - copied);
          copied = pos = lf + 1;
          ended = true;
          break;
        }
        if (lineEnd - pos >= 2 && bytes[pos + 1] == '.') {
          text.append(bytes + copied, pos - copied);
          copied = pos + 1;
        }
      }
      if (lineEnd == lf) {  // LF alone: the line still ends in CR LF
        text.append(bytes + copied, lf - copied);
        text.append("\r\n");
        copied = lf + 1;
      }
      pos = lf + 1;
    }
    text.append(bytes + copied, pos - copied);
    receiveQueue_.Remove(pos);
    if (pos) DoWork(wmRead, static_cast<int64_t>(pos));
    if (ended) return true;
    if (text.size() >= stop) return false;

    // No complete line is queued: one line the ordinary way, which waits for it.
    std::string_view line = TakeLine({}, kNoTimeLimit);
    if (line == ".") return true;
    if (line.starts_with("..")) line.remove_prefix(1);
    text.append(line);
    text.append("\r\n");
    if (text.size() >= stop) return false;
  }
}

void TNetTCPConnection::ReadExact(void* destination, int64_t count) {
  if (count <= 0) return;
  while (receiveQueue_.Size() < static_cast<uint64_t>(count)) {
    if (FillReceiveQueue() == 0) throw ENetConnClosedGracefully();
  }
  receiveQueue_.Extract(static_cast<char*>(destination), static_cast<size_t>(count));
  DoWork(wmRead, count);
}

void TNetTCPConnection::ReadIntoStream(std::ostream& stream, int64_t count, bool untilClose) {
  if (count == -1 && !untilClose) {
    unsigned char size[4];
    ReadExact(size, 4);
    count = (int64_t{size[0]} << 24) | (size[1] << 16) | (size[2] << 8) | size[3];
  }
  if (count <= 0 && !untilClose) return;
  WorkScope work(*this, wmRead, untilClose ? 0 : count);

  size_t take = receiveQueue_.Size();
  if (!untilClose) take = std::min<uint64_t>(take, static_cast<uint64_t>(count));
  stream.write(receiveQueue_.View().data(), static_cast<std::streamsize>(take));
  CheckStream(stream);
  receiveQueue_.Remove(take);
  DoWork(wmRead, static_cast<int64_t>(take));
  int64_t remaining = untilClose ? 0 : count - static_cast<int64_t>(take);

  std::vector<char> block(static_cast<size_t>(std::max(RecvBufferSize, 1)));
  while (IsOpen() && (untilClose || remaining > 0)) {
    size_t want = block.size();
    if (!untilClose) want = std::min<uint64_t>(want, static_cast<uint64_t>(remaining));
    size_t got = Receive(block.data(), want, !untilClose, kNoTimeLimit);
    stream.write(block.data(), static_cast<std::streamsize>(got));
    CheckStream(stream);
    remaining -= static_cast<int64_t>(got);
  }
}

void TNetTCPConnection::WriteBytes(const void* source, int64_t count) {
  if (count <= 0) return;
  CheckPeerClosed(true, true);
  const char* bytes = static_cast<const char*>(source);
  int64_t sentTotal = 0;
  while (sentTotal < count) {
    long sent = binding_.Socket.Send(bytes + sentTotal, static_cast<size_t>(count - sentTotal));
    int error = sent < 0 ? platform::LastSocketError() : 0;
    PumpIdleMessages(false, false);
    closedByPeer_ = sent == 0;
    CheckPeerClosed(true, false);
    if (sent < 0) {
      // After a send time-out the socket's state is unknown: it is not used again.
      if (error == platform::kSocketErrorShutdown || error == platform::kSocketErrorTimedOut)
        TNetTCPConnection::CloseConnection();
      RaiseSocketError(error);
    }
    DoWork(wmWrite, sent);
    sentTotal += sent;
  }
}

void TNetTCPConnection::WriteText(const std::string& text) {
  WriteBytes(text.data(), static_cast<int64_t>(text.size()));
}

void TNetTCPConnection::WriteLine(const std::string& text) { WriteText(text + "\r\n"); }

void TNetTCPConnection::WriteFromStream(std::istream& stream, bool fromStart, bool withCount) {
  if (fromStart) stream.seekg(0);
  const auto start = stream.tellg();
  stream.seekg(0, std::ios::end);
  int64_t size = static_cast<int64_t>(stream.tellg() - start);
  stream.seekg(start);
  if (withCount) {
    const unsigned char bytes[4] = {
        static_cast<unsigned char>(size >> 24), static_cast<unsigned char>(size >> 16),
        static_cast<unsigned char>(size >> 8), static_cast<unsigned char>(size)};
    WriteBytes(bytes, 4);
  }
  WorkScope work(*this, wmWrite, size);
  std::vector<char> block(static_cast<size_t>(std::max(SendBufferSize, 1)));
  while (size > 0) {
    stream.read(block.data(), std::min<int64_t>(size, static_cast<int64_t>(block.size())));
    int64_t got = stream.gcount();
    if (got <= 0) throw ENetNoDataToRead();
    WriteBytes(block.data(), got);
    size -= got;
  }
}

void TNetTCPConnection::CaptureLines(std::vector<std::string>* destination,
                                     const std::string& endLine, bool mailMode) {
  WorkScope work(*this, wmRead, 0);
  size_t total = 0;
  for (;;) {
    std::string_view line = TakeLine({}, kNoTimeLimit);
    if (line == endLine) break;
    total += line.size() + 2;
    if (total > kMaxMessageSize)
      FailLimit("Answer larger than " + IntToStr(kMaxMessageSize) + " bytes.");
    if (mailMode && line.starts_with("..")) line.remove_prefix(1);
    if (destination) destination->emplace_back(line);
  }
}

std::string TNetTCPConnection::ReadReplyLine(size_t& total) {
  for (;;) {
    std::string line = ReadLine();
    total += line.size() + 2;
    if (total > kMaxReplySize) FailLimit("Reply longer than " + IntToStr(kMaxReplySize) + " bytes.");
    line = std::string(Trimmed(line));
    if (!line.empty()) return line;
  }
}

int16_t TNetTCPConnection::ReadReply(const std::vector<int>& accepted) {
  ReplyLines.clear();
  size_t total = 0;
  ReplyLines.push_back(ReadReplyLine(total));
  if (ReplyLines[0].size() > 3 && ReplyLines[0][3] == '-') {
    // "nnn-" opens a reply that ends with the line "nnn " (or a line shorter than that).
    const std::string endMark = ReplyLines[0].substr(0, 3) + " ";
    for (;;) {
      ReplyLines.push_back(ReadReplyLine(total));
      const std::string& line = ReplyLines.back();
      if (line.size() < 4 || StartsNoCase(line, endMark)) break;
    }
  }
  const std::string& last = ReplyLines.back();
  if (StartsNoCase(last, "+OK")) ReplyNumber = 1;
  else if (StartsNoCase(last, "-ERR")) ReplyNumber = 0;
  else ReplyNumber = static_cast<int16_t>(StrToIntDef(std::string_view(last).substr(0, 3), 0));
  if (!accepted.empty() && std::find(accepted.begin(), accepted.end(), ReplyNumber) == accepted.end())
    throw ENetProtocolReplyError(ReplyNumber, last);
  return ReplyNumber;
}

int16_t TNetTCPConnection::SendCommand(const std::string& text, int accepted) {
  if (text != std::string(1, '\0')) WriteLine(text);
  return ReadReply(accepted == -1 ? std::vector<int>{} : std::vector<int>{accepted});
}

std::string TNetTCPConnection::LastReplyLine() const {
  return ReplyLines.empty() ? std::string() : ReplyLines.back();
}

void TNetTCPConnection::PumpIdleMessages(bool idle, bool override) {
  if (TNetIdlePump* pump = TNetIdlePump::Current()) pump->PumpIdleMessages(idle, override);
}

void TNetTCPConnection::BeginWork(TWorkMode mode, int64_t expected) {
  WorkCounter& w = work_[mode];
  if (++w.nesting == 1) {
    w.total = 0;
    if (OnWorkBegin) OnWorkBegin(this, mode, expected);
  }
}

void TNetTCPConnection::DoWork(TWorkMode mode, int64_t count) {
  WorkCounter& w = work_[mode];
  w.total += count;
  if (w.nesting > 0 && OnWork) OnWork(this, mode, w.total);
}

void TNetTCPConnection::EndWork(TWorkMode mode) {
  WorkCounter& w = work_[mode];
  if (w.nesting == 1 && OnWorkEnd) OnWorkEnd(this, mode);
  if (w.nesting > 0) --w.nesting;
}

#include "net/httpconnection.h"

#include <algorithm>

#include "base/numtext.h"
#include "base/netexceptions.h"
#include "net/netstack.h"

namespace {

std::string TooLarge(const char* what, uint64_t limit) {
  return std::string(what) + " larger than " + IntToStr(static_cast<int64_t>(limit)) + " bytes.";
}

}  // namespace

void TNetHTTPConnection::Connect() {
  const int inactivity = InactivityTimeout;
  if (deadline_) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(*deadline_ - Clock::now()).count();
    if (left <= 0) RaiseSocketError(platform::kSocketErrorTimedOut);
    InactivityTimeout = static_cast<int>(std::min<int64_t>(left, inactivity));
  }
  try {
    OpenConnection();
  } catch (...) {
    InactivityTimeout = inactivity;
    throw;
  }
  InactivityTimeout = inactivity;
}

bool TNetHTTPConnection::ReusableConnection() {
  if (!IsOpen()) return false;
  if (receiveQueue_.Empty() && !WaitReadable(0)) return true;
  TNetTCPConnection::CloseConnection();
  return false;
}

void TNetHTTPConnection::FailTimedOut() {
  TNetTCPConnection::CloseConnection();
  RaiseSocketError(platform::kSocketErrorTimedOut);
}

size_t TNetHTTPConnection::Fill(bool report) {
  if (!deadline_) return FillReceiveQueue(report, kNoTimeLimit);
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(*deadline_ - Clock::now()).count();
  if (left <= 0) FailTimedOut();
  const size_t got =
      FillReceiveQueue(report, static_cast<int>(std::min<int64_t>(left, InactivityTimeout)));
  if (got == 0 && IsOpen()) FailTimedOut();
  return got;
}

std::string TNetHTTPConnection::ReadResponseLine(size_t& budget) {
  size_t at;
  while ((at = receiveQueue_.Find("\n")) == TNetBuffer::npos) {
    if (receiveQueue_.Size() > budget) FailLimit(TooLarge("Response header", kMaxHttpHeaderSize));
    if (Fill(true) == 0) throw ENetConnClosedGracefully();
  }
  if (at + 1 > budget) FailLimit(TooLarge("Response header", kMaxHttpHeaderSize));
  budget -= at + 1;
  std::string line = receiveQueue_.Extract(at + 1);
  DoWork(wmRead, static_cast<int64_t>(line.size()));
  line.pop_back();
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

THttpResponseHead TNetHTTPConnection::ReadResponseHead() {
  size_t budget = kMaxHttpHeaderSize;
  THttpResponseHead head;
  head.StatusLine = ReadResponseLine(budget);
  for (;;) {
    std::string line = ReadResponseLine(budget);
    if (line.empty()) break;
    head.Headers.Add(line);
  }
  return head;
}

void TNetHTTPConnection::TakeQueued(TNetMemoryStream& stream, size_t count) {
  stream.Write(receiveQueue_.View().substr(0, count));
  receiveQueue_.Remove(count);
  DoWork(wmRead, static_cast<int64_t>(count));
}

size_t TNetHTTPConnection::ReceiveInto(TNetMemoryStream& stream, size_t count, bool report) {
  int timeoutMs = kNoTimeLimit;
  if (deadline_) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(*deadline_ - Clock::now()).count();
    if (left <= 0) FailTimedOut();
    timeoutMs = static_cast<int>(std::min<int64_t>(left, InactivityTimeout));
  }
  char* room = stream.Room(count);
  size_t got = 0;
  try {
    got = Receive(room, count, report, timeoutMs);
  } catch (...) {
    stream.Commit(0);
    throw;
  }
  stream.Commit(got);
  if (got == 0 && deadline_ && IsOpen()) FailTimedOut();
  return got;
}

void TNetHTTPConnection::ReadCount(TNetMemoryStream& stream, uint64_t count) {
  if (!stream.Fits(count)) FailLimit(TooLarge("Body", stream.MaxSize()));
  stream.Reserve(static_cast<size_t>(count));
  const size_t queued = static_cast<size_t>(std::min<uint64_t>(receiveQueue_.Size(), count));
  TakeQueued(stream, queued);
  count -= queued;
  // The rest goes from the socket straight into the stream, never past the body's end.
  const size_t block = static_cast<size_t>(std::max(RecvBufferSize, 1));
  while (count > 0) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(count, block));
    const size_t got = ReceiveInto(stream, want, true);
    if (got == 0) throw ENetConnClosedGracefully();
    count -= got;
  }
}

void TNetHTTPConnection::ReadChunks(TNetMemoryStream& stream) {
  DoStatus(nsStatusText, "Chunk Started");
  for (;;) {
    size_t budget = kMaxHttpHeaderSize;
    const std::string line = ReadResponseLine(budget);
    const auto size = ParseChunkSize(line);
    if (!size) {
      // The rest of the connection can no longer be followed.
      TNetTCPConnection::CloseConnection();
      throw ENetException("Bad chunk size line \"" + line.substr(0, 40) + "\".");
    }
    if (*size == 0) break;
    ReadCount(stream, *size);
    ReadResponseLine(budget);  // the line end after the chunk's data
  }
  // Trailer fields, up to the empty line that ends the body, are read and dropped.
  size_t budget = kMaxHttpHeaderSize;
  while (!ReadResponseLine(budget).empty()) {
  }
}

void TNetHTTPConnection::ReadUntilClose(TNetMemoryStream& stream) {
  if (!stream.Fits(receiveQueue_.Size())) FailLimit(TooLarge("Body", stream.MaxSize()));
  TakeQueued(stream, receiveQueue_.Size());
  const size_t block = static_cast<size_t>(std::max(RecvBufferSize, 1));
  for (;;) {
    const size_t room = std::min(block, stream.MaxSize() - stream.Position());
    if (room == 0) {
      // The stream is full: the body may only end here.
      if (Fill(false) == 0) return;
      FailLimit(TooLarge("Body", stream.MaxSize()));
    }
    if (ReceiveInto(stream, room, false) == 0) return;
  }
}

void TNetHTTPConnection::ReadBody(const THttpBodyFraming& framing, TNetMemoryStream& stream) {
  if (framing.kind == THttpBodyFraming::kNone) return;
  BeginWork(wmRead, framing.kind == THttpBodyFraming::kLength ? framing.length : 0);
  try {
    switch (framing.kind) {
      case THttpBodyFraming::kLength: ReadCount(stream, static_cast<uint64_t>(framing.length)); break;
      case THttpBodyFraming::kChunked: ReadChunks(stream); break;
      default: ReadUntilClose(stream); break;
    }
  } catch (...) {
    EndWork(wmRead);
    throw;
  }
  EndWork(wmRead);
}

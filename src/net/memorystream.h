// Bytes in memory, written at a position: the stream into which an HTTP response body is
// received. It never holds more than its maximum size: a write beyond it fails with
// ENetLimitExceeded, so a peer cannot make the program exhaust its memory.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The most bytes a page fetched into memory may have.
constexpr size_t kMaxInMemoryBody = size_t{64} << 20;

class TNetMemoryStream {
 public:
  explicit TNetMemoryStream(size_t maxSize = kMaxInMemoryBody) : maxSize_(maxSize) {}

  const std::string& Bytes() const { return bytes_; }
  // The bytes, moved out; the stream is left empty at position 0.
  std::string TakeBytes();
  size_t Size() const { return bytes_.size(); }
  size_t MaxSize() const { return maxSize_; }
  size_t Position() const { return position_; }
  // A position beyond the end is taken as the end.
  void SetPosition(size_t position);

  // Whether count more bytes can be written at the position.
  bool Fits(uint64_t count) const { return count <= maxSize_ - position_; }
  // Prepares room for count more bytes at the position (no effect on the contents).
  void Reserve(size_t count);
  // Writes over and past the bytes at the position and moves the position after them.
  void Write(std::string_view bytes);
  // Room for up to count bytes at the position, for the caller to fill (a socket read
  // straight into the stream); Commit then keeps the first used of them, as Write would
  // have, and drops the rest. The room must fit (Fits).
  char* Room(size_t count);
  void Commit(size_t used);
  // Cuts the stream after its position.
  void Truncate() { bytes_.resize(position_); }

 private:
  std::string bytes_;
  size_t position_ = 0;
  size_t maxSize_;
  size_t sizeBeforeRoom_ = 0;  // the size before the last Room
};

#include "net/memorystream.h"

#include <algorithm>

#include "base/numtext.h"
#include "base/netexceptions.h"
#include "base/largetext.h"

std::string TNetMemoryStream::TakeBytes() {
  std::string bytes = std::move(bytes_);
  bytes_.clear();
  position_ = 0;
  return bytes;
}

void TNetMemoryStream::SetPosition(size_t position) {
  position_ = std::min(position, bytes_.size());
}

void TNetMemoryStream::Reserve(size_t count) {
  if (!Fits(count)) return;
  const size_t capacity = bytes_.capacity();
  bytes_.reserve(position_ + count);
  AdviseIfGrown(bytes_, capacity);
}

void TNetMemoryStream::Write(std::string_view bytes) {
  if (!Fits(bytes.size()))
    throw ENetLimitExceeded("Body larger than " + IntToStr(static_cast<int64_t>(maxSize_)) +
                            " bytes.");
  const size_t over = std::min(bytes.size(), bytes_.size() - position_);
  bytes_.replace(position_, over, bytes);
  position_ += bytes.size();
}

char* TNetMemoryStream::Room(size_t count) {
  if (!Fits(count))
    throw ENetLimitExceeded("Body larger than " + IntToStr(static_cast<int64_t>(maxSize_)) +
                            " bytes.");
  sizeBeforeRoom_ = bytes_.size();
  // The storage grows by doubling (or as reserved): appending room after room stays linear.
  if (position_ + count > bytes_.size()) {
    const size_t capacity = bytes_.capacity();
    bytes_.resize(position_ + count);
    AdviseIfGrown(bytes_, capacity);
  }
  return bytes_.data() + position_;
}

void TNetMemoryStream::Commit(size_t used) {
  position_ += used;
  bytes_.resize(std::max(sizeBeforeRoom_, position_));
}

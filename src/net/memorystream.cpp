#include "net/memorystream.h"

#include <algorithm>

#include "base/numtext.h"
#include "base/netexceptions.h"

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
  if (Fits(count)) bytes_.reserve(position_ + count);
}

void TNetMemoryStream::Write(std::string_view bytes) {
  if (!Fits(bytes.size()))
    throw ENetLimitExceeded("Body larger than " + IntToStr(static_cast<int64_t>(maxSize_)) +
                            " bytes.");
  const size_t over = std::min(bytes.size(), bytes_.size() - position_);
  bytes_.replace(position_, over, bytes);
  position_ += bytes.size();
}

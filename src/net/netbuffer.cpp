#include "net/netbuffer.h"

#include <algorithm>
#include <cstring>

#include "base/netexceptions.h"

void TNetBuffer::MakeRoom(size_t count) {
  if (capacity_ - end_ >= count) return;
  const size_t size = Size();
  // Moving the unconsumed rest costs no more than the bytes consumed since the last move.
  if (start_ >= size) {
    if (size) std::memmove(data_.get(), data_.get() + start_, size);
    start_ = 0;
    end_ = size;
    if (capacity_ - end_ >= count) return;
  }
  const size_t capacity = std::max({capacity_ * 2, size + count, size_t{4096}});
  std::unique_ptr<char[]> data(new char[capacity]);
  if (size) std::memcpy(data.get(), data_.get() + start_, size);
  data_ = std::move(data);
  capacity_ = capacity;
  start_ = 0;
  end_ = size;
}

void TNetBuffer::Append(std::string_view bytes) {
  if (bytes.empty()) return;
  MakeRoom(bytes.size());
  std::memcpy(data_.get() + end_, bytes.data(), bytes.size());
  end_ += bytes.size();
}

char* TNetBuffer::Reserve(size_t count) {
  MakeRoom(count);
  reserved_ = count;
  return data_.get() + end_;
}

void TNetBuffer::Commit(size_t used) {
  end_ += std::min(used, reserved_);
  reserved_ = 0;
}

size_t TNetBuffer::Find(std::string_view terminator) {
  if (terminator.empty()) return npos;
  if (terminator != searchTerm_) {
    searchTerm_ = terminator;
    searchedUpTo_ = 0;
  }
  const std::string_view queued = View();
  size_t at;
  if (terminator.size() == 1) {
    // Line ends are single bytes: the library's byte scan, many bytes per step.
    const void* hit = queued.size() > searchedUpTo_
                          ? std::memchr(queued.data() + searchedUpTo_, terminator[0],
                                        queued.size() - searchedUpTo_)
                          : nullptr;
    at = hit ? static_cast<size_t>(static_cast<const char*>(hit) - queued.data()) : npos;
  } else {
    at = queued.find(terminator, searchedUpTo_);
  }
  if (at != npos) {
    searchedUpTo_ = at;
    return at;
  }
  // A terminator may begin in the last bytes and end in bytes still to come.
  const size_t tail = terminator.size() - 1;
  searchedUpTo_ = queued.size() > tail ? queued.size() - tail : 0;
  return npos;
}

void TNetBuffer::Extract(char* destination, size_t count) {
  if (count > Size()) throw ENetNotEnoughDataInBuffer();
  if (count) std::memcpy(destination, data_.get() + start_, count);
  Remove(count);
}

std::string_view TNetBuffer::Take(size_t count) {
  if (count > Size()) throw ENetNotEnoughDataInBuffer();
  std::string_view bytes(data_.get() + start_, count);
  Remove(count);
  return bytes;
}

std::string TNetBuffer::Extract(size_t count) { return std::string(Take(count)); }

void TNetBuffer::Remove(size_t count) {
  if (count > Size()) throw ENetNotEnoughDataInBuffer();
  // Only the start mark moves, so that bytes just taken stay where they are; the next
  // Append or Reserve may drop them.
  start_ += count;
  searchedUpTo_ = searchedUpTo_ > count ? searchedUpTo_ - count : 0;
}

void TNetBuffer::Clear() {
  start_ = end_ = 0;
  searchedUpTo_ = 0;
}

#include "net/netbuffer.h"

#include <cstring>

#include "base/netexceptions.h"

void TNetBuffer::Compact() {
  // Moving the unconsumed rest costs no more than the bytes consumed since the last move.
  if (start_ == 0) return;
  if (start_ >= data_.size() || start_ >= data_.size() / 2) {
    data_.erase(0, start_);
    start_ = 0;
  }
}

void TNetBuffer::Append(std::string_view bytes) {
  Compact();
  data_.append(bytes);
}

char* TNetBuffer::Reserve(size_t count) {
  Compact();
  size_t at = data_.size();
  data_.resize(at + count);
  reserved_ = count;
  return data_.data() + at;
}

void TNetBuffer::Commit(size_t used) {
  data_.resize(data_.size() - reserved_ + (used < reserved_ ? used : reserved_));
  reserved_ = 0;
}

size_t TNetBuffer::Find(std::string_view terminator) {
  if (terminator.empty()) return npos;
  if (terminator != searchTerm_) {
    searchTerm_ = terminator;
    searchedUpTo_ = 0;
  }
  std::string_view queued = View();
  size_t at = queued.find(terminator, searchedUpTo_);
  if (at != npos) {
    searchedUpTo_ = at;
    return at;
  }
  // A terminator may begin in the last bytes and end in bytes still to come.
  size_t tail = terminator.size() - 1;
  searchedUpTo_ = queued.size() > tail ? queued.size() - tail : 0;
  return npos;
}

void TNetBuffer::Extract(char* destination, size_t count) {
  if (count > Size()) throw ENetNotEnoughDataInBuffer();
  std::memcpy(destination, data_.data() + start_, count);
  Remove(count);
}

std::string_view TNetBuffer::Take(size_t count) {
  if (count > Size()) throw ENetNotEnoughDataInBuffer();
  std::string_view bytes = View().substr(0, count);
  Remove(count);
  return bytes;
}

std::string TNetBuffer::Extract(size_t count) { return std::string(Take(count)); }

void TNetBuffer::Remove(size_t count) {
  if (count > Size()) throw ENetNotEnoughDataInBuffer();
  // Only the start mark moves, so that bytes just taken stay where they are; the next
  // Append or Reserve drops them.
  start_ += count;
  searchedUpTo_ = searchedUpTo_ > count ? searchedUpTo_ - count : 0;
}

void TNetBuffer::Clear() {
  data_.clear();
  start_ = 0;
  searchedUpTo_ = 0;
}

// The receive queue of a connection: bytes received and not yet consumed.
// Large transfers stay linear: consumed bytes are dropped by moving a start mark, room for
// a socket read is made by moving the unconsumed rest to the front only when the consumed
// part outweighs it (else the storage doubles), the room is never cleared first, and a
// repeated search for the same terminator resumes where the previous one stopped.
#pragma once
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

class TNetBuffer {
 public:
  static constexpr size_t npos = std::string::npos;

  size_t Size() const { return end_ - start_; }
  bool Empty() const { return end_ == start_; }
  std::string_view View() const { return std::string_view(data_.get() + start_, Size()); }

  void Append(std::string_view bytes);
  // Room for up to count bytes at the end (its contents undefined); Commit then keeps the
  // first used of them.
  char* Reserve(size_t count);
  void Commit(size_t used);

  // Offset of the first terminator from the start of the queue, or npos.
  size_t Find(std::string_view terminator);

  // Takes the first count bytes out of the queue; more than it holds fails with
  // ENetNotEnoughDataInBuffer. Take's view into the queue's storage stays valid until
  // bytes are next added (Append, Reserve) or the queue is cleared.
  std::string_view Take(size_t count);
  std::string Extract(size_t count);
  void Extract(char* destination, size_t count);
  void Remove(size_t count);
  void Clear();

 private:
  void MakeRoom(size_t count);

  std::unique_ptr<char[]> data_;
  size_t capacity_ = 0;
  size_t start_ = 0;         // first unconsumed byte
  size_t end_ = 0;           // one past the last byte
  size_t reserved_ = 0;      // bytes of Reserve() not yet committed
  std::string searchTerm_;   // the terminator of the last search
  size_t searchedUpTo_ = 0;  // offsets below this cannot start searchTerm_
};

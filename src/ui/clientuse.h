// Keeps the uses of the controller's mailbox and FTP clients apart. The poll cycle, the
// publication, the connection tests and "UpLoad" all run on the GUI thread, the later ones
// possibly in the middle of an earlier one (the network layer pumps messages while it
// waits), so none of them may simply wait for another: whoever finds a client taken either
// leaves its turn out (a poll tick), or queues its work to run once the client is free
// (a publication), and the dialogs disable the buttons whose client is taken.
#pragma once
#include <functional>
#include <map>
#include <vector>

enum class TNetClientKind { Mailbox, Ftp };

class TClientUse {
 public:
  // One use of a client; it is free again when the lease ends.
  class TLease {
   public:
    TLease() = default;
    TLease(TLease&& other) noexcept : owner_(other.owner_), kind_(other.kind_) { other.owner_ = nullptr; }
    TLease& operator=(TLease&&) = delete;
    ~TLease();
    explicit operator bool() const { return owner_ != nullptr; }

   private:
    friend class TClientUse;
    TLease(TClientUse* owner, TNetClientKind kind) : owner_(owner), kind_(kind) {}
    TClientUse* owner_ = nullptr;
    TNetClientKind kind_ = TNetClientKind::Mailbox;
  };

  bool Busy(TNetClientKind kind) const;
  // The client for one use, or an empty lease when another use holds it.
  TLease TryTake(TNetClientKind kind);
  // Runs the work with the client taken: now when it is free, else from the message loop
  // once it is. A failure of work that ran later goes to the top-level handler.
  void UseWhenFree(TNetClientKind kind, std::function<void()> work);
  // Called whenever a client is taken or freed (the dialogs update their buttons).
  int Subscribe(std::function<void()> changed);
  void Unsubscribe(int id);

 private:
  void Changed();
  void Free(TNetClientKind kind);
  std::map<TNetClientKind, bool> busy_;
  std::map<TNetClientKind, std::vector<std::function<void()>>> waiting_;
  std::map<int, std::function<void()>> subscribers_;
  int nextId_ = 1;
};

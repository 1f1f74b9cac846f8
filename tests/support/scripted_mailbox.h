// A mailbox in memory for the mail intake: messages held as the server stores them,
// faults scripted per retrieval, and a record of every step the intake took.
#pragma once
#include <deque>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "app/mailintake.h"

namespace testing_support {

class ScriptedMailbox : public TMailbox {
 public:
  // What one retrieval does instead of delivering the message.
  enum class Fault {
    None,
    Refused,         // the server answers "-ERR message is locked"
    OverLimit,       // the client stops at its size limit after the header and closes
    Undecodable,     // a section that cannot be decoded
    ConnectionLost,  // the connection fails in the middle (a socket error)
    ServerClosed,    // the server closes the connection in the middle
    LocalFailure,    // a temporary file cannot be written
  };

  // The mails on the server, oldest first; committed deletions remove them.
  std::vector<std::string> mails;
  // One fault per retrieval, taken in order; when none is left, retrievals deliver.
  std::deque<Fault> faults;
  bool openFails = false;
  int deletionsRefused = 0;  // so many DELE commands are refused ("-ERR") first
  // Called at each deletion, before it is recorded (to look at the files then).
  std::function<void()> onDelete;
  // The steps in order: OPEN, STAT, RETR n, DELE n, QUIT (commit), ABANDON.
  std::vector<std::string> steps;

  void Open() override;
  bool IsOpen() override { return open_; }
  int Count() override;
  bool Retrieve(int number, TNetMessage& message) override;
  std::string RawText(const TNetMessage&) override { return raw_; }
  std::string RefusalLine() override { return "-ERR message is locked"; }
  void Delete(int number) override;
  void Commit() override;
  void Abandon() override;

 private:
  void RequireSession();
  bool open_ = false;
  std::set<int> deleted_;
  std::string raw_;
};

}  // namespace testing_support

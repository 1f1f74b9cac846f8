// The mail intake: one poll cycle's work on the mailbox. It takes the oldest mail as one
// transaction (retrieve message 1, read its order, add its rows to a copy of the list,
// note the mail beside the list, save the list, and only then delete the mail and commit),
// keeps a mail that can never be used in failed/ (one copy per mail) before deleting it,
// and counts the tries of a mail that fails for a passing reason (intake/mailjournal.h).
#pragma once
#include <chrono>
#include <functional>
#include <string>

#include "app/health.h"
#include "base/settingsrecord.h"
#include "intake/itemlookup.h"
#include "intake/mailjournal.h"
#include "intake/recentorders.h"

class TNetMessage;

// The mailbox as the intake uses it: one session at a time, messages numbered from 1.
class TMailbox {
 public:
  virtual ~TMailbox() = default;
  // Starts a session (connect and log in). A failure leaves no session and is thrown.
  virtual void Open() = 0;
  virtual bool IsOpen() = 0;
  // The number of messages in the mailbox.
  virtual int Count() = 0;
  // Message n into message: true; false when the server refuses it (RefusalLine then says
  // how). Throws ENetLimitExceeded for a message over a limit (the session is closed then),
  // ENetTableNotFound for a text that cannot be decoded, another ENetException when the
  // session fails, and anything else when a local resource (a temporary file) fails.
  virtual bool Retrieve(int number, TNetMessage& message) = 0;
  // What was read of the last retrieval, line by line with CR LF, filled into message.
  virtual std::string RawText(const TNetMessage& message) = 0;
  // The server's answer to the last refused retrieval.
  virtual std::string RefusalLine() = 0;
  // Marks message n for deletion; a refusal throws.
  virtual void Delete(int number) = 0;
  // Ends the session so that the server carries its deletions out.
  virtual void Commit() = 0;
  // Drops the session without committing anything.
  virtual void Abandon() = 0;
};

class TMailIntake {
 public:
  using Clock = TMailTries::Clock;
  // What the intake needs from its owner.
  struct THooks {
    std::function<Clock::time_point()> now;  // the clock the tries are timed by
    std::function<void(int code)> log;       // an event for the event log
    std::function<bool()> abandoning;        // the program is leaving: store nothing more
    std::function<void()> listChanged;       // the list was saved and the mail deleted
    std::function<void(const std::string& line)> report;  // a trouble the owner must see
    // A part of the work failed, with the failure's text (the health record); may be empty.
    std::function<void(THealthPart part, const std::string& failure)> failed;
  };

  // The list and the shop name stay the owner's; the intake replaces the list only after it
  // was saved, and sets the shop name from each order mail that names it.
  TMailIntake(TMailbox& mailbox, TRecentOrders& list, std::string& shopName, const TSettings& settings,
              THooks hooks);

  // One cycle: ends a session left open (committing it), opens one (a failure is logged
  // and ends the cycle quietly), counts the messages and takes message 1 as one
  // transaction. The files live in the current directory. A mail that cannot be used is
  // kept in failed/ and deleted; after a passing failure it stays on the server, the
  // session is dropped without commit and the failure logged, until it has failed
  // kMaxMailTries times over at least kMinTrySpan: then it is given up like an unusable
  // one. When the list cannot be saved the mail stays, the failure is logged and reported
  // each cycle, and no try is counted: it lasts as long as the disk's trouble. A mail seen
  // again after its rows were saved is only deleted. The server closing
  // the session ends the cycle quietly; other failures of the session are thrown.
  void RunCycle(TProductLookup& lookup);
  // The messages the last cycle found in the mailbox (0 when it could not count them).
  int MessagesFound() const { return messagesFound_; }
  // The program is leaving in the middle of a cycle: until the list is saved, the session
  // is dropped without commit, so the server keeps the mail.
  void AbandonUnsaved();
  // The tries of the mail at the head of the mailbox so far.
  const TMailTries& Tries() const { return tries_; }

 private:
  void TakeFirstMail(TProductLookup& lookup);
  void CommitDeletion();
  void FailedTry(const std::string& key, std::string_view mailText);
  void GiveUp(const std::string& key, std::string_view mailText);

  TMailbox& mailbox_;
  TRecentOrders& list_;
  std::string& shopName_;
  const TSettings& settings_;
  THooks hooks_;
  TMailTries tries_;
  int messagesFound_ = 0;
  bool saved_ = false;  // this cycle saved the list: the mail's deletion must go through
};

// The mail intake: one poll cycle's work on the mailbox. It takes the oldest mail as one
// transaction (retrieve message 1, read its order, add its rows to a copy of the list,
// note the mail beside the list, save the list, and only then delete the mail and commit),
// keeps a mail that can never be used in failed/ (one copy per mail) before deleting it,
// and keeps a mail that fails for a passing reason on the server for as long as that lasts,
// taking the mails behind it once it has held them back too long (intake/mailjournal.h).
#pragma once
#include <chrono>
#include <functional>
#include <optional>
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
  using Clock = TMailTrouble::Clock;
  // What the intake needs from its owner.
  struct THooks {
    std::function<Clock::time_point()> now;  // the clock the trouble is timed by
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
  // transaction. The files live in the current directory. Only a mail's own fault gives
  // it up: it is kept in failed/ and deleted at once. A passing failure (the server
  // refusing RETR, the session failing, the list or the failed/ copy that cannot be
  // written) keeps the mail on the server for as long as it lasts: the session is dropped
  // without commit and the failure logged; a list that cannot be saved is also reported.
  // Once the trouble of message 1 has lasted kTroubleBeforeSkipping, each cycle still
  // tries message 1 first, and while it fails reports that and takes message 2 as its own
  // transaction (in a new session when message 1's ended). A mail seen again after its
  // rows were saved is only deleted. The server closing the session ends the cycle
  // quietly; other failures of the session are thrown.
  void RunCycle(TProductLookup& lookup);
  // The messages the last cycle found in the mailbox (0 when it could not count them).
  int MessagesFound() const { return messagesFound_; }
  // The program is leaving in the middle of a cycle: until the list is saved, the session
  // is dropped without commit, so the server keeps the mail.
  void AbandonUnsaved();
  // Since when the mail at the head of the mailbox has kept failing for a passing reason;
  // none while it has not.
  std::optional<Clock::time_point> TroubleSince() const { return trouble_.Since(); }

 private:
  // What became of one mail's transaction.
  enum class Outcome {
    kTaken,   // deleted, with its rows saved or its copy kept
    kPassed,  // a passing failure: it stays on the server
    kLeft,    // the program is leaving: nothing more this cycle
  };
  bool OpenSession();
  Outcome TakeFirstMail(TProductLookup& lookup);
  void TakeMailBehind(TProductLookup& lookup);
  Outcome TakeMail(int number, TProductLookup& lookup);
  void CommitDeletion(int number);
  Outcome PassingFailure(int number, const std::string& message);
  void NoteTrouble(int number, const std::string& message);
  Outcome GiveUp(int number, const std::string& key, std::string_view mailText);

  TMailbox& mailbox_;
  TRecentOrders& list_;
  std::string& shopName_;
  const TSettings& settings_;
  THooks hooks_;
  TMailTrouble trouble_;
  int messagesFound_ = 0;
  bool saved_ = false;  // this cycle saved the list: the mail's deletion must go through
};

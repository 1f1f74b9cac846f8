// What the poll cycle keeps about mails beside the recent-orders list, so that a mail is
// taken once and only once, and none is deleted without a trace:
// - the saved-mails file itemsl.mails: for the last mails whose rows were saved, the mail's
//   key and a digest of the list as saved, so that a mail whose deletion was not committed
//   (the program stopped, the connection lost) is recognised when it comes again;
// - the trouble of the mail at the head of the mailbox: since when it has kept failing for a
//   passing reason, so that after kTroubleBeforeSkipping the mails behind it are taken;
// - the folder failed/, where the text of every mail given up is kept (once) before it is
//   deleted.
#pragma once
#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "intake/recentorders.h"

inline constexpr const char SavedMailsFileName[] = "itemsl.mails";
inline constexpr const char FailedMailsFolderName[] = "failed";

inline constexpr std::chrono::minutes kTroubleBeforeSkipping{10};
inline constexpr size_t kMaxFailedMails = 200;
inline constexpr size_t kMaxFailedBytes = size_t{100} << 20;
// What is kept of a mail larger than the client takes: its head (header and first lines).
inline constexpr size_t kFailedHeadBytes = size_t{1} << 20;

// A mail's identity: its Message-ID and a digest of its text, as 16 + hex digits.
std::string MailKey(std::string_view messageId, std::string_view text);

// A digest of the list as SaveRecentOrders writes it.
std::string ListDigest(const TRecentOrders& list);

// The rows of the mail with that key are in the list when the saved-mails file names the key
// with the digest of exactly this list. A missing or unreadable file names no mail.
bool MailAlreadySaved(const std::string& path, const std::string& key, const TRecentOrders& list);

// Notes that the mail's rows are in the list about to be saved (replacing the file in one
// step, keeping the last entries). Written before the list, so that a list saved with
// the mail's rows is always recognised; an entry whose list was never saved has a digest
// that matches no list. Throws like ReplaceFileBytes.
void NoteMailSaved(const std::string& path, const std::string& key, const TRecentOrders& list);

// The trouble of the mail at the head of the mailbox (in memory only): a passing failure
// (the server refusing it, the session failing, a local write failing) that has lasted
// since the first failure after the mail was last taken, with the last failure's message.
class TMailTrouble {
 public:
  using Clock = std::chrono::steady_clock;
  // One more failure: the first one starts the trouble, every one sets the message.
  void Note(Clock::time_point now, std::string message);
  // The mail at the head was taken: the trouble is over.
  void End() { since_.reset(); message_.clear(); }
  // When the trouble began; none while there is no trouble.
  std::optional<Clock::time_point> Since() const { return since_; }
  const std::string& LastMessage() const { return message_; }
  // The trouble has lasted at least kTroubleBeforeSkipping by now.
  bool HoldsBackLongEnough(Clock::time_point now) const;

 private:
  std::optional<Clock::time_point> since_;
  std::string message_;
};

// Keeps the mail's raw text in the folder (created when missing) as "<n>-<key>.eml", n one
// more than the highest number there, then removes the oldest-written files (lowest n
// first; files of another name count as older than all) while the folder holds more than
// kMaxFailedMails files or kMaxFailedBytes bytes. A mail whose key has a copy already is
// not copied again; an empty key always gets a copy ("<n>.eml"). Returns the copy's path.
// Throws EFCreateError or EWriteError when the copy cannot be written.
std::string KeepFailedMail(const std::string& folder, const std::string& key, std::string_view text);

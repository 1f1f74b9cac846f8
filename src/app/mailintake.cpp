#include "app/mailintake.h"

#include <chrono>
#include <exception>

#include "base/errors.h"
#include "base/logcodes.h"
#include "base/netexceptions.h"
#include "intake/itemlines.h"
#include "intake/orderparser.h"
#include "mail/message.h"
#include "mail/ordertext.h"
#include "platform/system.h"

namespace {

// A retrieval whose answer can never be taken: over the size or line limit, or with a
// section that cannot be decoded. Anything else that fails on the way (the connection, a
// temporary file) may pass.
bool MailCannotBeRead(const std::exception& failure) {
  return dynamic_cast<const ENetLimitExceeded*>(&failure) || dynamic_cast<const ENetTableNotFound*>(&failure);
}

// The mail's own text cannot make an order: no date where the date is, a malformed item.
bool MailCannotBeParsed(const std::exception& failure) {
  return dynamic_cast<const EConvertError*>(&failure) || dynamic_cast<const EVendlumeError*>(&failure);
}

}  // namespace

TMailIntake::TMailIntake(TMailbox& mailbox, TRecentOrders& list, std::string& shopName,
                         const TSettings& settings, THooks hooks)
    : mailbox_(mailbox), list_(list), shopName_(shopName), settings_(settings), hooks_(std::move(hooks)) {}

void TMailIntake::RunCycle(TProductLookup& lookup) {
  messagesFound_ = 0;
  saved_ = false;
  try {
    if (mailbox_.IsOpen()) mailbox_.Commit();
    if (!OpenSession()) return;
    const int count = mailbox_.Count();
    if (count <= 0) {
      trouble_.End();
      mailbox_.Commit();
      return;
    }
    messagesFound_ = count;
    if (TakeFirstMail(lookup) != Outcome::kPassed) return;
    if (count >= 2 && trouble_.HoldsBackLongEnough(hooks_.now())) TakeMailBehind(lookup);
    if (mailbox_.IsOpen()) mailbox_.Abandon();
  } catch (const ENetConnClosedGracefully&) {
    // The server closed the session: the cycle ends quietly.
  }
}

void TMailIntake::AbandonUnsaved() {
  if (!saved_ && mailbox_.IsOpen()) mailbox_.Abandon();
}

bool TMailIntake::OpenSession() {
  try {
    mailbox_.Open();
    return true;
  } catch (const std::exception& failure) {
    if (hooks_.failed) hooks_.failed(THealthPart::Mailbox, failure.what());
    hooks_.log(kLogConnectionFailed);
    return false;
  }
}

TMailIntake::Outcome TMailIntake::TakeFirstMail(TProductLookup& lookup) {
  try {
    return TakeMail(1, lookup);
  } catch (const ENetException&) {
    // The session failed on message 1 (its trouble is noted). Until that has held the
    // mails behind back long enough, the failure is the cycle's.
    if (messagesFound_ < 2 || !trouble_.HoldsBackLongEnough(hooks_.now())) throw;
    return Outcome::kPassed;
  }
}

// Message 1 has held the mails behind it back too long: the owner is told, and message 2
// is taken on its own while message 1 stays where it is, to be tried first again.
void TMailIntake::TakeMailBehind(TProductLookup& lookup) {
  const auto lasted = std::chrono::duration_cast<std::chrono::minutes>(hooks_.now() - *trouble_.Since());
  hooks_.report("the first mail in the mailbox has failed for " + std::to_string(lasted.count()) + " minutes (" +
                trouble_.LastMessage() +
                "); it stays in the mailbox and is tried first with every poll, and the mails behind it are "
                "taken meanwhile.");
  if (!mailbox_.IsOpen() && (!OpenSession() || mailbox_.Count() < 2)) return;
  TakeMail(2, lookup);
}

// One mail as one transaction. Nothing is deleted on the server before the mail's rows are
// in itemsl.csv, or before a mail that cannot be used is kept in failed/.
TMailIntake::Outcome TMailIntake::TakeMail(int number, TProductLookup& lookup) {
  TNetMessage message;
  bool retrieved = false;
  try {
    retrieved = mailbox_.Retrieve(number, message);
  } catch (const std::exception& failure) {
    if (MailCannotBeRead(failure)) {
      std::string raw = mailbox_.RawText(message);
      if (dynamic_cast<const ENetLimitExceeded*>(&failure) && raw.size() > kFailedHeadBytes) raw.resize(kFailedHeadBytes);
      return GiveUp(number, MailKey(message.MsgId, raw), raw);
    }
    if (dynamic_cast<const ENetException*>(&failure)) {
      NoteTrouble(number, failure.what());  // the session: the mail stays
      throw;
    }
    return PassingFailure(number, failure.what());  // a temporary file, for instance
  }
  // A refusal of RETR says nothing about the mail.
  if (!retrieved) return PassingFailure(number, "RETR " + std::to_string(number) + ": " + mailbox_.RefusalLine());

  const TNetText* part = OrderTextPart(message);
  std::string text;
  try {
    if (!part) throw EVendlumeError("no text part");
    text = OrderText(*part);
  } catch (const std::exception&) {
    const std::string raw = mailbox_.RawText(message);
    return GiveUp(number, MailKey(message.MsgId, raw), raw);
  }

  const std::string key = MailKey(message.MsgId, text);
  const std::string savedMails = platform::FileInCurrentDirectory(SavedMailsFileName);
  if (MailAlreadySaved(savedMails, key, list_)) {
    // Saved before, but its deletion never reached the server: now only the deletion.
    CommitDeletion(number);
    hooks_.listChanged();
    return Outcome::kTaken;
  }

  TRecentOrders list = list_;
  try {
    const TOrderMail mail = ParseOrderMail(text);
    if (mail.ignored) {
      CommitDeletion(number);
      return Outcome::kTaken;
    }
    if (mail.shopName) shopName_ = *mail.shopName;
    TItemStage stage(list, lookup, settings_);
    for (const TItemBlock& block : mail.itemBlocks) stage.AddItemBlock(block.section, block.orderTime, block.prefecture);
    // An order whose items all lack a field (an order time, a prefecture, a price) would
    // vanish without a trace: it is kept in failed/ like any other mail that cannot be used.
    if (!mail.itemBlocks.empty() && stage.RowsAdded() == 0) throw EVendlumeError("an order that gives no row");
    if (hooks_.abandoning()) {
      // The owner quit (or the session ended) while a lookup waited, and the lookup took
      // the abandoned wait for a failed search: nothing is stored, the mail stays.
      mailbox_.Abandon();
      return Outcome::kLeft;
    }
  } catch (const std::exception& failure) {
    if (MailCannotBeParsed(failure)) return GiveUp(number, key, mailbox_.RawText(message));
    return PassingFailure(number, failure.what());
  }
  try {
    NoteMailSaved(savedMails, key, list);
    SaveRecentOrders(list, platform::FileInCurrentDirectory(RecentOrdersFileName));
  } catch (const std::exception& failure) {
    // The disk, not the mail: it stays on the server for as long as this lasts, and every
    // cycle tries again.
    const std::string trouble = std::string("the order list cannot be saved (") + failure.what() + ")";
    if (hooks_.failed) hooks_.failed(THealthPart::LocalFiles, failure.what());
    hooks_.report(trouble + "; the mail stays in the mailbox and is tried again with every poll.");
    return PassingFailure(number, trouble);
  }
  saved_ = true;
  list_ = std::move(list);
  CommitDeletion(number);
  hooks_.listChanged();
  return Outcome::kTaken;
}

// The mail is gone from the server: when it was message 1, so is its trouble.
void TMailIntake::CommitDeletion(int number) {
  mailbox_.Delete(number);
  mailbox_.Commit();
  if (number == 1) trouble_.End();
}

// A passing failure: the mail stays on the server (the cycle drops the session, so nothing
// of it is committed) and the next cycle tries again, for as long as it lasts.
TMailIntake::Outcome TMailIntake::PassingFailure(int number, const std::string& message) {
  hooks_.log(kLogGetCsv);
  NoteTrouble(number, message);
  return Outcome::kPassed;
}

// Only message 1 holds the others back; a mail behind it that fails waits its turn.
void TMailIntake::NoteTrouble(int number, const std::string& message) {
  if (number == 1) trouble_.Note(hooks_.now(), message);
}

// A mail that can never be used: its text goes to failed/ (unless a copy under its key is
// there from an earlier give-up whose deletion failed), then it is deleted. When the copy
// cannot be written the mail stays on the server, as after any passing failure.
TMailIntake::Outcome TMailIntake::GiveUp(int number, const std::string& key, std::string_view mailText) {
  hooks_.log(kLogGetCsv);
  try {
    KeepFailedMail(platform::FileInCurrentDirectory(FailedMailsFolderName), key, mailText);
  } catch (const std::exception& failure) {
    NoteTrouble(number, std::string("the mail cannot be kept in failed/ (") + failure.what() + ")");
    return Outcome::kPassed;
  }
  if (!mailbox_.IsOpen()) {
    // The session ended at a limit of the client: the mail keeps its number.
    mailbox_.Open();
    mailbox_.Count();
  }
  CommitDeletion(number);
  return Outcome::kTaken;
}

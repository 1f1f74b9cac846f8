#include "app/mailintake.h"

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

// The key under which the tries of a mail that could not even be retrieved are counted.
constexpr char kUnretrievedMail[] = "(not retrieved)";

}  // namespace

TMailIntake::TMailIntake(TMailbox& mailbox, TRecentOrders& list, std::string& shopName,
                         const TSettings& settings, THooks hooks)
    : mailbox_(mailbox), list_(list), shopName_(shopName), settings_(settings), hooks_(std::move(hooks)) {}

void TMailIntake::RunCycle(TProductLookup& lookup) {
  messagesFound_ = 0;
  saved_ = false;
  try {
    if (mailbox_.IsOpen()) mailbox_.Commit();
    try {
      mailbox_.Open();
    } catch (const std::exception& failure) {
      if (hooks_.failed) hooks_.failed(THealthPart::Mailbox, failure.what());
      hooks_.log(kLogConnectionFailed);
      return;
    }
    const int count = mailbox_.Count();
    if (count <= 0) {
      mailbox_.Commit();
      return;
    }
    messagesFound_ = count;
    TakeFirstMail(lookup);
  } catch (const ENetConnClosedGracefully&) {
    // The server closed the session: the cycle ends quietly.
  }
}

void TMailIntake::AbandonUnsaved() {
  if (!saved_ && mailbox_.IsOpen()) mailbox_.Abandon();
}

// Message 1 as one transaction. Nothing is deleted on the server before the mail's rows are
// in itemsl.csv, or before a mail that cannot be used is kept in failed/.
void TMailIntake::TakeFirstMail(TProductLookup& lookup) {
  TNetMessage message;
  bool retrieved = false;
  try {
    retrieved = mailbox_.Retrieve(1, message);
  } catch (const std::exception& failure) {
    if (MailCannotBeRead(failure)) {
      std::string raw = mailbox_.RawText(message);
      if (dynamic_cast<const ENetLimitExceeded*>(&failure) && raw.size() > kFailedHeadBytes) raw.resize(kFailedHeadBytes);
      GiveUp(MailKey(message.MsgId, raw), raw);
      return;
    }
    if (dynamic_cast<const ENetException*>(&failure)) throw;  // the session: the mail stays
    FailedTry(kUnretrievedMail, mailbox_.RawText(message));   // a temporary file, for instance
    return;
  }
  if (!retrieved) {
    // A refusal of RETR says nothing about the mail: it stays until it has failed for good.
    FailedTry(kUnretrievedMail, "RETR 1: " + mailbox_.RefusalLine() + "\r\n");
    return;
  }

  const TNetText* part = OrderTextPart(message);
  std::string text;
  try {
    if (!part) throw EVendlumeError("no text part");
    text = OrderText(*part);
  } catch (const std::exception&) {
    const std::string raw = mailbox_.RawText(message);
    GiveUp(MailKey(message.MsgId, raw), raw);
    return;
  }

  const std::string key = MailKey(message.MsgId, text);
  const std::string savedMails = platform::FileInCurrentDirectory(SavedMailsFileName);
  if (MailAlreadySaved(savedMails, key, list_)) {
    // Saved before, but its deletion never reached the server: now only the deletion.
    tries_.Forget();
    CommitDeletion();
    hooks_.listChanged();
    return;
  }

  TRecentOrders list = list_;
  try {
    const TOrderMail mail = ParseOrderMail(text);
    if (mail.ignored) {
      tries_.Forget();
      CommitDeletion();
      return;
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
      return;
    }
  } catch (const std::exception& failure) {
    if (MailCannotBeParsed(failure)) GiveUp(key, mailbox_.RawText(message));
    else FailedTry(key, mailbox_.RawText(message));
    return;
  }
  try {
    NoteMailSaved(savedMails, key, list);
    SaveRecentOrders(list, platform::FileInCurrentDirectory(RecentOrdersFileName));
  } catch (const std::exception& failure) {
    // The disk, not the mail: it stays on the server for as long as this lasts, and every
    // cycle tries again. The tries are not counted, so it is never given up for this.
    if (hooks_.failed) hooks_.failed(THealthPart::LocalFiles, failure.what());
    hooks_.log(kLogGetCsv);
    hooks_.report(std::string("the order list cannot be saved (") + failure.what() +
                  "); the mail stays in the mailbox and is tried again with every poll.");
    mailbox_.Abandon();
    return;
  }
  saved_ = true;
  list_ = std::move(list);
  tries_.Forget();
  CommitDeletion();
  hooks_.listChanged();
}

void TMailIntake::CommitDeletion() {
  mailbox_.Delete(1);
  mailbox_.Commit();
}

// A passing failure: the mail stays on the server (the session is dropped, so nothing of it
// is committed) and the next cycle tries again, until it has failed too often.
void TMailIntake::FailedTry(const std::string& key, std::string_view mailText) {
  if (tries_.FailedAgain(key, hooks_.now()) && mailbox_.IsOpen()) {
    // Nothing tells apart two mails that could not be retrieved: each gets a copy.
    GiveUp(key == kUnretrievedMail ? std::string() : key, mailText);
    return;
  }
  hooks_.log(kLogGetCsv);
  mailbox_.Abandon();
}

// A mail that can never be used: its text goes to failed/ (unless a copy under its key is
// there from an earlier give-up whose deletion failed), then it is deleted. When the copy
// cannot be written the mail stays on the server.
void TMailIntake::GiveUp(const std::string& key, std::string_view mailText) {
  hooks_.log(kLogGetCsv);
  try {
    KeepFailedMail(platform::FileInCurrentDirectory(FailedMailsFolderName), key, mailText);
  } catch (const std::exception&) {
    if (mailbox_.IsOpen()) mailbox_.Abandon();
    return;
  }
  tries_.Forget();
  if (!mailbox_.IsOpen()) {
    // The session ended at a limit of the client: the mail is still message 1.
    mailbox_.Open();
    mailbox_.Count();
  }
  CommitDeletion();
}

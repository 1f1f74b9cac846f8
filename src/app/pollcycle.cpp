#include <exception>

#include "app/eventlog.h"
#include "app/form1.h"
#include <cstdio>

#include "base/errors.h"
#include "base/netexceptions.h"
#include "intake/itemlines.h"
#include "intake/mailjournal.h"
#include "intake/orderparser.h"
#include "mail/message.h"
#include "mail/ordertext.h"
#include "net/accounts.h"
#include "platform/system.h"

namespace {

constexpr int kNormalInterval = 15000;
constexpr int kBacklogInterval = 5000;

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

// A review page that could not be fetched or read: the mall's side, never the mail's.
struct EReviewLookupFailed : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The controller's lookup, with the failures of the review lookup told apart from the item
// stage's own complaints about the mail.
class TTransactionLookup : public TProductLookup {
 public:
  explicit TTransactionLookup(TProductLookup& lookup) : lookup_(lookup) {}
  void ClearReviewPageUrl() override { lookup_.ClearReviewPageUrl(); }
  TLookupResult LookupByCode(const std::string& code) override { return lookup_.LookupByCode(code); }
  TLookupResult LookupByName(const std::string& name) override { return lookup_.LookupByName(name); }
  TLookupResult LookupReviews() override {
    try {
      return lookup_.LookupReviews();
    } catch (const std::exception& failure) {
      throw EReviewLookupFailed(failure.what());
    }
  }

 private:
  TProductLookup& lookup_;
};

// The key under which the tries of a mail that could not even be retrieved are counted.
constexpr char kUnretrievedMail[] = "(not retrieved)";

}  // namespace

void TForm1::LoadRecentOrdersAtStartUp() {
  const std::string path = platform::FileInCurrentDirectory(RecentOrdersFileName);
  bool unreadable = false;
  RecentOrders = LoadRecentOrders(path, &unreadable);
  if (!unreadable) return;
  // The first save would write over rows that were never loaded: they go aside first.
  const std::string aside = SetUnreadableListAside(path);
  if (aside.empty()) {
    std::fprintf(stderr, "Vendlume: %s cannot be read and cannot be renamed; the list starts empty "
                 "and is not saved over it.\n", path.c_str());
  } else {
    std::fprintf(stderr, "Vendlume: %s cannot be read; it was renamed to %s and the list starts empty.\n",
                 path.c_str(), aside.c_str());
  }
  try {
    WriteLog(kLogListSetAside);
  } catch (const std::exception&) {
    // The message above has said it.
  }
}

void TForm1::RunPollCycle() {
  Timer1.SetInterval(0);
  pageTriedThisCycle_ = false;
  int messageCount = 0;
  std::exception_ptr failure;
  try {
    TNetPOP3& pop3 = *NetPOP31;
    if (pop3.IsOpen()) pop3.CloseConnection();
    ApplyMailboxAccount(pop3, Settings);
    try {
      pop3.OpenConnection();
    } catch (const std::exception&) {
      // Logged, then the count request below finds the client closed and the cycle ends
      // quietly.
      WriteLog(kLogConnectionFailed);
    }

    int count = pop3.CountMessages();
    if (count > 0) {
      messageCount = count;
      TakeFirstMail(pop3);
    } else {
      pop3.CloseConnection();
    }
  } catch (const ENetConnClosedGracefully&) {
    // The server closed, or the login failed: the cycle ends quietly.
  } catch (...) {
    failure = std::current_exception();
  }
  // Whatever became of the mailbox, a page that earlier cycles left behind goes out now.
  try {
    CatchUpPage();
  } catch (...) {
    if (!failure) failure = std::current_exception();  // else the cycle's own failure is reported
  }
  Timer1.SetInterval(messageCount >= 2 ? kBacklogInterval : kNormalInterval);
  if (failure) std::rethrow_exception(failure);
}

// Message 1 as one transaction. Nothing is deleted on the server before the mail's rows are
// in itemsl.csv, or before a mail that cannot be used is kept in failed/.
void TForm1::TakeFirstMail(TNetPOP3& pop3) {
  TNetMessage message;
  bool retrieved = false;
  try {
    retrieved = pop3.RetrieveMessage(1, message);
  } catch (const std::exception& failure) {
    if (MailCannotBeRead(failure)) {
      const bool overLimit = dynamic_cast<const ENetLimitExceeded*>(&failure) != nullptr;
      GiveUpMail(pop3, std::string_view(pop3.RawMessage(message)).substr(0, overLimit ? kFailedHeadBytes : std::string::npos));
      return;
    }
    if (dynamic_cast<const ENetException*>(&failure)) throw;  // the connection: the mail stays
    FailedTry(pop3, kUnretrievedMail, pop3.RawMessage(message));     // a temporary file, for instance
    return;
  }
  if (!retrieved) {
    // "-ERR" to RETR says nothing about the mail: it stays until it has failed for good.
    FailedTry(pop3, kUnretrievedMail, "RETR 1: " + pop3.LastReplyLine() + "\r\n");
    return;
  }

  const TNetText* part = OrderTextPart(message);
  std::string text;
  try {
    if (!part) throw EVendlumeError("no text part");
    text = OrderText(*part);
  } catch (const std::exception&) {
    GiveUpMail(pop3, pop3.RawMessage(message));
    return;
  }

  const std::string key = MailKey(message.MsgId, text);
  const std::string savedMails = platform::FileInCurrentDirectory(SavedMailsFileName);
  if (MailAlreadySaved(savedMails, key, RecentOrders)) {
    // Saved before, but its deletion never reached the server: now only the deletion.
    mailTries_.Forget();
    CommitDeletion(pop3);
    RefreshPage();
    return;
  }

  TOrderMail mail;
  TRecentOrders list = RecentOrders;
  try {
    mail = ParseOrderMail(text);
    if (mail.ignored) {
      mailTries_.Forget();
      CommitDeletion(pop3);
      return;
    }
    if (mail.shopName) ShopName = *mail.shopName;
    TTransactionLookup lookup(*Lookup);
    TItemStage stage(list, lookup, Settings);
    for (const TItemBlock& block : mail.itemBlocks) stage.AddItemBlock(block.section, block.orderTime, block.prefecture);
    if (Abandoning()) {
      // The owner quit (or the session ended) while a lookup waited, and the lookup took
      // the abandoned wait for a failed search: nothing is stored, the mail stays.
      pop3.TNetTCPClient::CloseConnection();
      return;
    }
    NoteMailSaved(savedMails, key, list);
    ::SaveRecentOrders(list, platform::FileInCurrentDirectory(RecentOrdersFileName));
    savedThisCycle_ = true;
  } catch (const std::exception& failure) {
    if (!dynamic_cast<const EReviewLookupFailed*>(&failure) && MailCannotBeParsed(failure)) GiveUpMail(pop3, pop3.RawMessage(message));
    else FailedTry(pop3, key, pop3.RawMessage(message));
    return;
  }
  RecentOrders = std::move(list);
  mailTries_.Forget();
  CommitDeletion(pop3);
  RefreshPage();
}

void TForm1::CommitDeletion(TNetPOP3& pop3) {
  pop3.DeleteMessage(1);
  pop3.CloseConnection();  // "Quit" commits the deletion
}

// A passing failure: the mail stays on the server (the session ends without "Quit", so
// nothing of it is committed) and the next cycle tries again, until it has failed too often.
void TForm1::FailedTry(TNetPOP3& pop3, const std::string& key, std::string_view mailText) {
  if (mailTries_.FailedAgain(key) && pop3.IsOpen()) {
    GiveUpMail(pop3, mailText);
    return;
  }
  WriteLog(kLogGetCsv);
  pop3.TNetTCPClient::CloseConnection();
}

// A mail that can never be used: its text goes to failed/, then it is deleted. When the copy
// cannot be written the mail stays on the server.
void TForm1::GiveUpMail(TNetPOP3& pop3, std::string_view mailText) {
  WriteLog(kLogGetCsv);
  try {
    KeepFailedMail(platform::FileInCurrentDirectory(FailedMailsFolderName), mailText);
  } catch (const std::exception&) {
    if (pop3.IsOpen()) pop3.TNetTCPClient::CloseConnection();
    return;
  }
  mailTries_.Forget();
  if (!pop3.IsOpen()) {
    // The client closed the connection at its size limit: the mail is still message 1.
    pop3.OpenConnection();
    pop3.CountMessages();
  }
  CommitDeletion(pop3);
}

// The page after the list changed; when it cannot be rendered or published, the next
// cycle tries again.
void TForm1::RefreshPage() {
  pageTriedThisCycle_ = true;
  try {
    RenderStatusPage();
  } catch (const std::exception&) {
    WriteLog(kLogGetCsv);
    pagePending_ = true;
    return;
  }
  pagePending_ = false;
  PublishPage();
}

void TForm1::CatchUpPage() {
  if (pageTriedThisCycle_) return;
  if (pagePending_) {
    RefreshPage();
  } else if (pageStale_) {
    pageTriedThisCycle_ = true;
    PublishPage();
  }
}

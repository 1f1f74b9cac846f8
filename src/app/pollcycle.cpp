#include <algorithm>

#include "app/eventlog.h"
#include "app/form1.h"
#include "text/textcode.h"
#include "mail/message.h"
#include "base/netexceptions.h"

namespace {

constexpr int kNormalInterval = 15000;
constexpr int kBacklogInterval = 5000;

bool IsBlank(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; });
}

bool HasText(const TNetText* part) {
  return part && !std::all_of(part->Body.begin(), part->Body.end(), IsBlank);
}

// The text part that holds the order: part 0 of a single-part mail. A multipart mail keeps
// only its preamble ("This is a multi-part message...") in part 0, so there the first text
// section with content is taken, and part 0 only when no section has any.
const TNetText* OrderTextPart(const TNetMessage& message) {
  if (message.Parts.empty()) return nullptr;
  auto* first = dynamic_cast<const TNetText*>(message.Parts[0].get());
  if (message.Parts.size() == 1) return first;
  for (size_t i = 1; i < message.Parts.size(); ++i) {
    auto* part = dynamic_cast<const TNetText*>(message.Parts[i].get());
    if (HasText(part)) return part;
  }
  return first;
}

// The mail text as the order parser reads it: every body entry followed by CR LF, in
// Shift-JIS, without ASCII commas (thousands separators and the CSV field separator).
std::string OrderText(const TNetText& part) {
  std::string text;
  for (const std::string& entry : part.Body) {
    text += entry;
    text += "\r\n";
  }
  text = ConvertCode(text, 5);
  text.erase(std::remove(text.begin(), text.end(), ','), text.end());
  return text;
}

}  // namespace

void TForm1::PollMailbox() {
  Timer1.SetInterval(0);
  int messageCount = 0;
  auto restartTimer = [&] { Timer1.SetInterval(messageCount >= 2 ? kBacklogInterval : kNormalInterval); };
  try {
    TNetPOP3& pop3 = *NetPOP31;
    if (pop3.IsOpen()) pop3.CloseConnection();
    pop3.Host = Settings.Pop3Host;
    pop3.Port = Settings.Pop3Port;
    pop3.UserId = Settings.Pop3User;
    pop3.Password = Settings.Pop3Pass;
    pop3.UseTLS = static_cast<TNetTLSMode>(Settings.Pop3Tls);
    pop3.TLSFingerprint = Settings.Pop3Fingerprint;
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
      TNetMessage message;
      if (!pop3.RetrieveMessage(1, message)) {
        pop3.DeleteMessage(1);
      } else if (const TNetText* part = OrderTextPart(message)) {
        try {
          std::string text = OrderText(*part);
          pop3.DeleteMessage(1);
          ParseOrderMail(text, ShopName, *this);
        } catch (const std::exception&) {
          // The mail is gone from the server: a mail that cannot be read is logged and lost,
          // never retried.
          WriteLog(kLogGetCsv);
        }
      } else {
        // A mail without any text part would block the mailbox for ever if left there.
        pop3.DeleteMessage(1);
        WriteLog(kLogGetCsv);
      }
    }
    pop3.CloseConnection();
  } catch (const ENetConnClosedGracefully&) {
    // The server closed, or the login failed: the cycle ends quietly.
  } catch (...) {
    restartTimer();
    throw;
  }
  restartTimer();
}

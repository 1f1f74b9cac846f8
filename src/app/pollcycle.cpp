#include <algorithm>

#include "app/eventlog.h"
#include "app/form1.h"
#include "intake/jconvert.h"
#include "net/message.h"
#include "net/netexceptions.h"

namespace {

constexpr int kNormalInterval = 15000;
constexpr int kBacklogInterval = 5000;

bool IsBlank(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; });
}

// The text part that holds the order. Part 0 normally; a multipart mail keeps only its
// (usually empty) preamble there, so then the first text part with content is taken.
const TNetText* OrderTextPart(const TNetMessage& message) {
  if (message.Parts.empty()) return nullptr;
  auto* first = dynamic_cast<const TNetText*>(message.Parts[0].get());
  bool firstHasText = first && !std::all_of(first->Body.begin(), first->Body.end(), IsBlank);
  if (firstHasText) return first;
  for (size_t i = 1; i < message.Parts.size(); ++i) {
    auto* part = dynamic_cast<const TNetText*>(message.Parts[i].get());
    if (part && !std::all_of(part->Body.begin(), part->Body.end(), IsBlank)) return part;
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

// RETR: the answer's lines go to the mail decoder through a reader that keeps count, so
// that no server can make the client hold more than kMaxMessageSize bytes of one mail.
#include "base/numtext.h"
#include "mail/message.h"
#include "net/pop3.h"

class TNetPOP3::MessageReader : public TNetLineReader {
 public:
  explicit MessageReader(TNetPOP3& pop) : pop_(pop) {}

  std::string_view ReadLn() override {
    std::string_view line = pop_.ReadLn();
    read_ += line.size() + 2;
    if (read_ > kMaxMessageSize)
      pop_.FailLimit("Message larger than " + IntToStr(kMaxMessageSize) + " bytes.");
    pop_.RawMessage.append(line);
    pop_.RawMessage.append("\r\n");
    return line;
  }

  bool ReadDotLines(std::string& text, size_t limit) override {
    const size_t before = text.size();
    const bool ended = pop_.ReadDotLines(text, limit);
    read_ += text.size() - before + (ended ? 3 : 0);
    pop_.RawMessage.append(text, before);
    if (read_ > kMaxMessageSize)
      pop_.FailLimit("Message larger than " + IntToStr(kMaxMessageSize) + " bytes.");
    return ended;
  }

 private:
  TNetPOP3& pop_;
  size_t read_ = 0;
};

bool TNetPOP3::RetrieveMessage(int number, TNetMessage& message) {
  RawMessage.clear();
  RawMessage.shrink_to_fit();  // a large mail's copy is not kept into the next retrieval
  if (SendCommand("RETR " + IntToStr(number)) != 1) return false;
  MessageReader reader(*this);
  // A mail without an empty line after its header ends at the "." line: no body then.
  if (ReadMessageHeader(reader, message, "")) ReadMessageBody(reader, message);
  return true;
}

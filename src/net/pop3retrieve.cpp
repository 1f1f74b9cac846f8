// RETR: the answer's lines go to the mail decoder through a reader that keeps count, so
// that no server can make the client hold more than kMaxMessageSize bytes of one mail.
#include <algorithm>

#include "base/numtext.h"
#include "mail/largetext.h"
#include "mail/message.h"
#include "net/pop3.h"

namespace {

constexpr size_t kSpareRoom = 64 * 1024;

// The size a positive RETR answer announces ("+OK 1234 octets"), at most kMaxMessageSize;
// 0 when it names none. Only a hint for making room: nothing relies on it.
size_t AnnouncedSize(const std::string& reply) {
  size_t at = 3;  // after "+OK"
  while (at < reply.size() && reply[at] == ' ') ++at;
  size_t size = 0;
  for (; at < reply.size() && reply[at] >= '0' && reply[at] <= '9'; ++at) {
    size = size * 10 + static_cast<size_t>(reply[at] - '0');
    if (size > kMaxMessageSize) return kMaxMessageSize;
  }
  return size;
}

}  // namespace

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
    MakeRoomInText(pop_.RawMessage, text.size() - before);
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
  // The copy is made room for at once (with some to spare) when the server announces the
  // size, so that a large mail is not moved while it arrives.
  const size_t announced = AnnouncedSize(LastReplyLine());
  if (announced) ReserveText(RawMessage, announced + kSpareRoom);
  MessageReader reader(*this);
  // A mail without an empty line after its header ends at the "." line: no body then.
  if (ReadMessageHeader(reader, message, ""))
    ReadMessageBody(reader, message, announced - std::min(announced, RawMessage.size()));
  TrimText(RawMessage);  // room announced but not used is given back
  return true;
}

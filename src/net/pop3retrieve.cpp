// RETR: the answer's lines go to the mail decoder through a reader that keeps count, so
// that no server can make the client hold more than kMaxMessageSize bytes of one mail.
#include <algorithm>

#include "base/numtext.h"
#include "base/largetext.h"
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
  // Body lines read into a text while bodyInText is set are not copied into the raw text.
  MessageReader(TNetPOP3& pop, const bool& bodyInText) : pop_(pop), bodyInText_(bodyInText) {}

  std::string_view ReadLn() override {
    std::string_view line = pop_.ReadLn();
    read_ += line.size() + 2;
    if (read_ > kMaxMessageSize)
      pop_.FailLimit("Message larger than " + IntToStr(kMaxMessageSize) + " bytes.");
    pop_.raw_.append(line);
    pop_.raw_.append("\r\n");
    return line;
  }

  bool ReadDotLines(std::string& text, size_t limit) override {
    const size_t before = text.size();
    const bool ended = pop_.ReadDotLines(text, limit);
    read_ += text.size() - before + (ended ? 3 : 0);
    if (!bodyInText_) {
      MakeRoomInText(pop_.raw_, text.size() - before);
      pop_.raw_.append(text, before);
    }
    if (read_ > kMaxMessageSize)
      pop_.FailLimit("Message larger than " + IntToStr(kMaxMessageSize) + " bytes.");
    return ended;
  }

 private:
  TNetPOP3& pop_;
  const bool& bodyInText_;
  size_t read_ = 0;
};

bool TNetPOP3::RetrieveMessage(int number, TNetMessage& message) {
  raw_.clear();
  raw_.shrink_to_fit();  // a large mail's copy is not kept into the next retrieval
  rawBodyInText_ = false;
  if (SendCommand("RETR " + IntToStr(number)) != 1) return false;
  // The copy is made room for at once (with some to spare) when the server announces the
  // size, so that a large mail is not moved while it arrives.
  const size_t announced = AnnouncedSize(LastReplyLine());
  if (announced) ReserveText(raw_, announced + kSpareRoom);
  MessageReader reader(*this, rawBodyInText_);
  // A mail without an empty line after its header ends at the "." line: no body then.
  if (ReadMessageHeader(reader, message, "")) {
    const size_t body = announced - std::min(announced, raw_.size());
    // A body read straight into a text needs no copy: the room announced goes unused.
    auto readIntoText = [&] {
      rawBodyInText_ = true;
      raw_.shrink_to_fit();
    };
    ReadMessageBody(reader, message, body, readIntoText);
  }
  TrimText(raw_);  // room announced but not used is given back
  return true;
}

std::string TNetPOP3::RawMessage(const TNetMessage& message) const {
  if (!rawBodyInText_ || message.Parts.empty()) return raw_;
  const auto* text = dynamic_cast<const TNetText*>(message.Parts.front().get());
  if (!text) return raw_;
  size_t size = raw_.size();
  for (const std::string& entry : text->Body) size += entry.size();
  std::string whole;
  whole.reserve(size);
  whole += raw_;
  for (const std::string& entry : text->Body) whole += entry;
  return whole;
}

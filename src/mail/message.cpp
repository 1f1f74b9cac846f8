#include "mail/message.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <utility>

#include "base/errors.h"
#include "base/files.h"
#include "text/asciitext.h"
#include "mail/encodedword.h"
#include "base/largetext.h"
#include "mail/maildate.h"
#include "mail/mimedecoder.h"
#include "platform/tempfile.h"

namespace {

TNetMessagePriority ParsePriority(std::string_view value) {
  value = Trimmed(value);
  if (!value.empty() && value[0] >= '1' && value[0] <= '5')
    return static_cast<TNetMessagePriority>(value[0] - '1');
  std::string lower = AsciiLowerCase(value);
  if (lower.find("non-urgent") != std::string::npos || lower.find("low") != std::string::npos)
    return TNetMessagePriority::Low;
  if (lower.find("urgent") != std::string::npos || lower.find("high") != std::string::npos)
    return TNetMessagePriority::High;
  return TNetMessagePriority::Normal;
}

std::vector<std::string> CommaList(std::string_view value) {
  std::vector<std::string> list;
  size_t start = 0;
  while (start <= value.size()) {
    size_t comma = value.find(',', start);
    if (comma == std::string_view::npos) comma = value.size();
    std::string_view item = Trimmed(value.substr(start, comma - start));
    if (!item.empty()) list.emplace_back(item);
    start = comma + 1;
  }
  return list;
}

// Whether a section is a text, by its first "Content-Type" line: one that names a text
// without a file name, or a multipart, a message or an attachment. A section without a
// "Content-Type" line is plain text (RFC 2045 section 5.2).
bool IsTextSection(const TNetHeaderList& headers) {
  for (const std::string& line : headers.Lines) {
    size_t colon = line.find(':');
    if (colon == std::string::npos ||
        !EqualsNoCase(Trimmed(std::string_view(line).substr(0, colon)), "content-type"))
      continue;
    std::string l = AsciiLowerCase(Trimmed(line));
    auto has = [&](const char* word) { return l.find(word) != std::string::npos; };
    return (has("text") && !has("name")) || has("multipart") || has("message") ||
           has("attachment") || l == "content-type:";
  }
  return true;
}

void JoinBody(TNetText& text) {
  if (text.Body.size() < 2) return;
  size_t size = 0;
  for (const std::string& piece : text.Body) size += piece.size();
  std::string whole;
  ReserveText(whole, size);
  for (const std::string& piece : text.Body) whole += piece;
  text.Body.clear();
  text.Body.push_back(std::move(whole));
}

}  // namespace

TNetAttachment::TNetAttachment() = default;

TNetAttachment::~TNetAttachment() {
  file_.reset();  // closes without raising: nothing can be reported from here
  if (!StoredPathName.empty()) std::remove(StoredPathName.c_str());
}

bool TNetAttachment::WriteData(std::string_view bytes, bool mayCreate) {
  if (bytes.empty()) return false;
  bool made = false;
  if (!file_) {
    // A closed file means the part is complete; a mail past its file cap keeps no data.
    if (!StoredPathName.empty() || !mayCreate) return false;
    file_ = std::make_unique<platform::TempFile>("Vdl");
    if (!file_->IsOpen()) {
      std::string tried = file_->Path();
      file_.reset();
      ThrowFileCreateError(tried);
    }
    StoredPathName = file_->Path();
    made = true;
  }
  if (!file_->Write(bytes)) ThrowStreamWriteError();
  return made;
}

void TNetAttachment::CloseFile() {
  if (!file_) return;
  bool ok = file_->Close();
  file_.reset();
  if (!ok) ThrowStreamWriteError();
}

// Builds the message's parts from the structure decoder's items. Part 0 exists from the
// start and takes the content after the message's own header block; every section after a
// boundary gets a part of its own, made when its header block ends (or when a file name
// shows it is an attachment).
class TNetPartDispatcher {
 public:
  explicit TNetPartDispatcher(TNetMessage& message) : message_(message) {
    message_.Parts.clear();
    auto part0 = std::make_unique<TNetText>();
    part0->ContentType = message.ContentType;
    part0->ContentTransfer = message.ContentTransferEncoding;
    message_.Parts.push_back(std::move(part0));
  }

  void Dispatch(std::vector<TNetDecoderItem>& items) {
    for (TNetDecoderItem& item : items) {
      if (full_) return;  // sections past the part cap are read and dropped
      switch (item.Code) {
        case kItemData:
          Data(item.Text);
          break;
        case kItemHeaderLine:
          HeaderLine(std::move(item.Text));
          break;
        case kItemFileName:
          FileName(item.Text);
          break;
        case kItemHeaderEnded:
          HeaderEnded();
          break;
        case kItemBoundary:
          partMade_ = false;
          sectionHeaders_ = {};
          break;
      }
    }
  }

  // The string that decoded data would be appended to now: the current text's last body
  // entry (made when there is none), or null when data goes to an attachment or nowhere.
  // DataTextDone after the bytes are in drops an entry left empty, as a part without
  // content has none.
  std::string* DataText() {
    if (full_) return nullptr;
    auto* text = dynamic_cast<TNetText*>(Current());
    if (!text) return nullptr;
    if (text->Body.empty()) text->Body.emplace_back();
    return &text->Body.back();
  }
  void DataTextDone() {
    auto* text = dynamic_cast<TNetText*>(Current());
    if (text && !text->Body.empty() && text->Body.back().empty()) text->Body.pop_back();
  }

  // Completes the current part: a text's pieces become its one body entry (a long body
  // must not be cut inside a line); an attachment's file is closed.
  void Finish() {
    TNetMessagePart& part = *Current();
    part.Headers.Lines.shrink_to_fit();
    if (auto* text = dynamic_cast<TNetText*>(&part)) {
      JoinBody(*text);
      for (std::string& piece : text->Body) TrimText(piece);
      text->Body.shrink_to_fit();
    } else {
      static_cast<TNetAttachment&>(part).CloseFile();
    }
  }

 private:
  TNetMessagePart* Current() { return message_.Parts.back().get(); }

  void Data(std::string& bytes) {
    if (auto* text = dynamic_cast<TNetText*>(Current())) {
      // Kept in pieces until the part is complete (Finish): joined once then, a long body
      // is copied once instead of at every growth.
      text->Body.push_back(std::move(bytes));
    } else {
      auto* attachment = static_cast<TNetAttachment*>(Current());
      if (attachment->WriteData(bytes, filesMade_ < kMaxAttachmentFiles)) ++filesMade_;
    }
  }

  // The message's own header lines are already in its Headers.
  void HeaderLine(std::string line) {
    if (!inSections_) return;
    if (partMade_)
      Current()->Headers.Add(std::move(line));
    else
      sectionHeaders_.Add(std::move(line));
  }

  void FileName(const std::string& name) {
    if (inSections_ && !partMade_) {
      NewSectionPart(std::make_unique<TNetAttachment>());
    } else if (dynamic_cast<TNetText*>(Current())) {
      auto attachment = std::make_unique<TNetAttachment>();
      attachment->Headers = std::move(Current()->Headers);
      attachment->ContentType = Current()->ContentType;
      attachment->ContentTransfer = Current()->ContentTransfer;
      message_.Parts.back() = std::move(attachment);
    }
    auto* attachment = static_cast<TNetAttachment*>(Current());
    attachment->FileName = DecodeEncodedWords(name);
  }

  void HeaderEnded() {
    if (!inSections_) {
      inSections_ = true;
      return;
    }
    if (!partMade_) {
      if (IsTextSection(sectionHeaders_))
        NewSectionPart(std::make_unique<TNetText>());
      else
        NewSectionPart(std::make_unique<TNetAttachment>());
    }
    TNetMessagePart& part = *Current();
    part.ContentType = part.Headers.Value("Content-Type");
    part.ContentTransfer = part.Headers.Value("Content-Transfer-Encoding");
    if (auto* attachment = dynamic_cast<TNetAttachment*>(&part))
      attachment->ContentDisposition = part.Headers.Value("Content-Disposition");
  }

  void NewSectionPart(std::unique_ptr<TNetMessagePart> part) {
    Finish();
    if (message_.Parts.size() >= kMaxMessageParts) {
      full_ = true;
      return;
    }
    part->Headers = std::move(sectionHeaders_);
    sectionHeaders_ = {};
    message_.Parts.push_back(std::move(part));
    partMade_ = true;
  }

  TNetMessage& message_;
  bool full_ = false;              // kMaxMessageParts parts are made: the rest is dropped
  size_t filesMade_ = 0;           // attachment files created for this mail
  bool inSections_ = false;        // the message's own header block has ended
  bool partMade_ = false;          // the current section has its part
  TNetHeaderList sectionHeaders_;  // lines of a section whose part is not made yet
};

bool ReadMessageHeader(TNetLineReader& reader, TNetMessage& message, const std::string& endLine) {
  bool bodyFollows = true;
  for (;;) {
    std::string_view line = reader.ReadLn();
    if (line == endLine) break;
    // Without this the read would run past the end of a mail that has no empty line.
    if (line == ".") {
      bodyFollows = false;
      break;
    }
    if (line.starts_with("..")) line.remove_prefix(1);
    message.Headers.Add(std::string(line));
  }
  ApplyHeaders(message);
  return bodyFollows;
}

void ApplyHeaders(TNetMessage& m) {
  const TNetHeaderList& h = m.Headers;
  m.ContentType = h.Value("Content-Type");
  m.ContentTransferEncoding = h.Value("Content-Transfer-Encoding");
  m.Subject = DecodeEncodedWords(h.Value("Subject"));
  m.From = ParseAddress(DecodeEncodedWords(h.Value("From")));
  m.MsgId = h.Value("Message-Id");
  m.NewsGroups = CommaList(h.Value("Newsgroups"));
  m.Recipients = ParseAddressList(DecodeEncodedWords(h.Value("To")));
  m.CCList = ParseAddressList(DecodeEncodedWords(h.Value("Cc")));
  m.Organization = h.Value("Organization");
  m.ReceiptRecipient = ParseAddress(h.Value("Disposition-Notification-To"));
  if (m.ReceiptRecipient.Address.empty())
    m.ReceiptRecipient = ParseAddress(h.Value("Return-Receipt-To"));
  m.References = h.Value("References");
  m.ReplyTo = ParseAddressList(h.Value("Reply-To"));
  m.Date = ParseMailDate(h.Value("Date"));
  m.Sender = ParseAddress(h.Value("Sender"));
  std::string priority = h.Value("Priority");
  m.Priority = ParsePriority(priority.empty() ? h.Value("X-Priority") : priority);
}

void ReadMessageBody(TNetLineReader& reader, TNetMessage& message, size_t expectedSize,
                     const std::function<void()>& readingIntoText) {
  if (message.NoDecode) {
    for (std::string_view line = reader.ReadLn(); line != "."; line = reader.ReadLn()) {
      if (line.starts_with("..")) line.remove_prefix(1);
      message.Body.emplace_back(line);
    }
    return;
  }

  TNetMimeDecoder decoder;
  TNetPartDispatcher dispatcher(message);
  std::vector<TNetDecoderItem> batch;
  // After a decoding failure the rest of the message is still read (and dropped), so that
  // the connection is left at the start of the next reply.
  std::exception_ptr failure;
  auto guarded = [&](auto&& step) {
    if (failure) return;
    try {
      step();
    } catch (...) {
      failure = std::current_exception();
    }
  };

  guarded([&] {
    decoder.Write("Content-Type: " + message.ContentType +
                  "\r\nContent-Transfer-Encoding: " + message.ContentTransferEncoding + "\r\n\r\n");
    decoder.TakeItems(batch);
    dispatcher.Dispatch(batch);
  });
  // The lines go to the decoder in pieces of many lines, which it takes as it would take
  // them one by one, but with far less work per line.
  constexpr size_t kPieceSize = 64 * 1024;
  std::string piece;
  auto feed = [&] {
    guarded([&] {
      decoder.Write(piece);
      decoder.TakeItems(batch);
      dispatcher.Dispatch(batch);
    });
    piece.clear();
  };
  // Content that the decoder would pass on unchanged to a text (a single-part mail in
  // 7bit or 8bit) is read straight into the text's body instead: the bytes are copied once,
  // from the receive queue. A reader appends at most one line past its limit, so each read
  // is limited to the room left less kLineRoom, and storage moves only for longer lines.
  constexpr size_t kLineRoom = 4096;
  constexpr size_t kMinRoom = 4 * kLineRoom;
  // Room for the whole announced body at once, with some to spare: the body then never
  // moves (a body that comes larger grows as any other).
  size_t reserve = expectedSize ? std::min(expectedSize, kMaxBodyReserve) + kPieceSize : 0;
  bool ended = false;
  bool intoText = false;
  try {
    while (!ended) {
      std::string* text = !failure && decoder.PassesThrough() ? dispatcher.DataText() : nullptr;
      if (!text) {
        ended = reader.ReadDotLines(piece, kPieceSize);
        feed();
        continue;
      }
      if (!intoText) {
        intoText = true;
        if (readingIntoText) readingIntoText();
      }
      if (reserve) ReserveText(*text, text->size() + std::exchange(reserve, 0));
      if (text->capacity() - text->size() < kMinRoom) MakeRoomInText(*text, kPieceSize);
      ended = reader.ReadDotLines(
          *text, std::min(kPieceSize, text->capacity() - text->size() - kLineRoom));
      dispatcher.DataTextDone();
    }
  } catch (...) {
    dispatcher.DataTextDone();
    feed();  // what was read before the failure still reaches the parts
    throw;
  }
  guarded([&] {
    decoder.Finish();
    decoder.TakeItems(batch);
    dispatcher.Dispatch(batch);
    dispatcher.Finish();
  });
  if (failure) std::rethrow_exception(failure);
}

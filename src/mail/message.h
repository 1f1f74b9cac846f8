// A retrieved mail: its header fields and its parts, decoded from the lines a mail server
// sends (RFC 822 header, MIME body per RFC 2045 and RFC 2046).
#pragma once
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "mail/headerlist.h"
#include "base/linereader.h"
#include "mail/mailaddress.h"
#include "platform/system.h"

namespace platform {
class TempFile;
}

// Limits on what one mail can make, whatever its size: parts (the sections after these are
// read and dropped) and attachment files (attachments after these keep no data).
constexpr size_t kMaxMessageParts = 1000;
constexpr size_t kMaxAttachmentFiles = 100;

enum class TNetMessagePriority { Highest, High, Normal, Low, Lowest };

// One part of a decoded mail: a TNetText or a TNetAttachment.
class TNetMessagePart {
 public:
  virtual ~TNetMessagePart() = default;

  TNetHeaderList Headers;       // the section's header lines, unfolded
  std::string ContentType;      // its "Content-Type" value, parameters included
  std::string ContentTransfer;  // its "Content-Transfer-Encoding" value

 protected:
  TNetMessagePart() = default;
};

class TNetText : public TNetMessagePart {
 public:
  // The transfer-decoded text, without character-set conversion, as one entry however long
  // it is (no entry when the part has no content; after a failed read the text read so far
  // may be left in several entries). Line ends are CR LF.
  std::vector<std::string> Body;
};

class TNetAttachment : public TNetMessagePart {
 public:
  TNetAttachment();
  // Closes and removes the temporary file: a caller that wants the data keeps a copy.
  ~TNetAttachment() override;

  std::string FileName;            // encoded words decoded
  std::string ContentDisposition;  // its "Content-Disposition" value
  // The temporary file (name prefix "Vdl", in the system's temporary folder) that holds
  // the decoded data, made when the first data arrives; empty when the part had no data
  // or the mail already had kMaxAttachmentFiles files.
  std::string StoredPathName;

 private:
  friend class TNetPartDispatcher;
  // Writes to the file, creating it first when there is none and mayCreate; true when it
  // was created now.
  bool WriteData(std::string_view bytes, bool mayCreate);
  void CloseFile();
  std::unique_ptr<platform::TempFile> file_;
};

class TNetMessage {
 public:
  TNetHeaderList Headers;  // every header line as read, not unfolded
  std::string ContentType;
  std::string ContentTransferEncoding;
  std::string Subject;  // encoded words decoded
  TNetEmailAddressItem From;
  std::string MsgId;
  std::vector<std::string> NewsGroups;
  std::vector<TNetEmailAddressItem> Recipients;  // "To"
  std::vector<TNetEmailAddressItem> CCList;
  std::string Organization;
  TNetEmailAddressItem ReceiptRecipient;
  std::string References;
  std::vector<TNetEmailAddressItem> ReplyTo;
  platform::LocalDateTime Date;  // in local time; all 0 when missing or unreadable
  TNetEmailAddressItem Sender;
  TNetMessagePriority Priority = TNetMessagePriority::Normal;
  std::vector<std::string> Body;  // the raw body lines, only when NoDecode is set
  bool NoDecode = false;
  // Part 0 always exists after ReadMessageBody: the whole body of a single-part mail, the
  // preamble of a multipart one (whose sections follow as parts 1, 2, ...).
  std::vector<std::unique_ptr<TNetMessagePart>> Parts;
};

// Reads header lines into message.Headers (adding to lines already there) until a line
// equal to endLine, which is consumed and not stored; a line that begins with ".." loses
// its first "." (byte-stuffing). Then runs ApplyHeaders. A line that holds only "." ends the
// message early (a mail with no body): it is consumed, and the result is false, meaning that
// no body follows; otherwise true.
bool ReadMessageHeader(TNetLineReader& reader, TNetMessage& message, const std::string& endLine);

// Fills the message's fields from its Headers.
void ApplyHeaders(TNetMessage& message);

// Reads the body lines up to the line that holds only "." (consumed; ".." at a line start
// loses one "."). With NoDecode the lines go to message.Body; otherwise message.Parts is
// rebuilt by decoding the body as the mail's content type and transfer encoding say.
// A decoding failure (a temporary file that cannot be
// created or written) is raised only after the rest of the message has been read, so the
// connection stays in step; read failures of the reader come through at once.
// expectedSize, when not 0, is the body's size as far as it is known beforehand (a server's
// announcement, perhaps false): room for up to kMaxBodyReserve bytes of it is made at once.
// A body that needs no decoding and belongs to a text (a single-part mail in 7bit or 8bit)
// is read with the reader's ReadDotLines straight into that text's body entry;
// readingIntoText, when given, is called once before that.
constexpr size_t kMaxBodyReserve = size_t{64} << 20;
void ReadMessageBody(TNetLineReader& reader, TNetMessage& message, size_t expectedSize = 0,
                     const std::function<void()>& readingIntoText = {});

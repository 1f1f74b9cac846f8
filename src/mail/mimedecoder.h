// The MIME structure of a mail body (RFC 2045, RFC 2046): header blocks, boundaries and
// transfer-decoded content, turned into a stream of items.
#pragma once
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "mail/transferdecoders.h"

enum TNetDecoderItemCode : int {
  kItemData = 0,          // transfer-decoded content bytes
  kItemFileName = 5,      // a file name was found (Text: the name as written)
  kItemHeaderEnded = 21,  // a header block ended; content follows
  kItemHeaderLine = 23,   // one header line, unfolded (Text: the line)
  kItemBoundary = 24,     // a boundary line began a new section (Text: the boundary)
};

struct TNetDecoderItem {
  int Code;
  std::string Text;
};

// Takes the bytes of a header block followed by the body, in pieces of any size, and
// produces items; consecutive data items are joined into one. Work is linear in the input:
// content without a boundary to look for is decoded as it arrives, and with boundaries each
// line is examined once.
//
// Header blocks: a line ends at CR (with an LF right after it) or at a lone LF; a line that
// begins with a space or TAB continues the header line before it. Each complete header line
// gives a header-line item, and some are examined: "Content-Transfer-Encoding" chooses the
// transfer decoder of the content after this block; "Content-Type" with a "boundary"
// parameter adds a boundary, and with a "name" parameter gives a file-name item;
// "Content-Disposition" with a "filename" parameter gives a file-name item. A line empty
// after trimming ends the block.
//
// Content: with no boundary known it all goes through the transfer decoder. Otherwise each
// line is checked for a boundary line: "--", a known boundary, and then "--" (a closing
// boundary) or nothing but blanks. The line end before a boundary line belongs to it. An
// opening boundary line flushes the transfer decoder, gives a boundary item and starts a
// new header block; a closing one ends its multipart (and any inner one still open), and
// the epilogue after it is dropped up to the next boundary line of an enclosing multipart.
// At most kMaxMultipartDepth multiparts are open at once; a boundary beyond that, or one
// already open, is not added (its lines stay content). Open boundaries are looked up in a
// set, so a boundary line costs the same however many are open.
class TNetMimeDecoder {
 public:
  static constexpr size_t kMaxMultipartDepth = 100;

  TNetMimeDecoder();
  ~TNetMimeDecoder();

  void Write(std::string_view bytes);
  // Input complete: processes what is left and flushes the transfer decoder.
  void Finish();
  // The items finished so far, handed over in order.
  std::vector<TNetDecoderItem> TakeItems();
  // The same into a vector whose storage is then reused for the next items, so that a
  // long body does not allocate (and fault in) a fresh list for every piece.
  void TakeItems(std::vector<TNetDecoderItem>& into);
  // Whether every byte written from now on would come out unchanged as data, in the order
  // written: content with no boundary to look for, through a pass-through transfer decoder,
  // with nothing pending and no item left to take. That lasts to the end of the input, and
  // a caller may then put the bytes where the data would go itself instead of writing them
  // (Finish is still due at the end).
  bool PassesThrough() const;

 private:
  enum class TState { Header, Content, Epilogue };

  void Process(bool final);
  void HeaderLine(std::string_view line);
  void CompleteHeaderLine();
  void ExamineHeaderLine(std::string_view line);
  void ContentLine(std::string_view line);
  bool IsBoundaryLine(std::string_view content);
  void AddBoundary(const std::string& boundary);
  // Ends the multiparts from depth on (the innermost ones).
  void CloseBoundaries(size_t depth);
  void Decode(std::string_view bytes);
  void FlushDecoder();
  void Emit(int code, std::string text);

  TState state_ = TState::Header;
  std::string pending_;  // input not yet processed starts at pos_
  size_t pos_ = 0;
  size_t scanned_ = 0;   // no line end in pending_ between pos_ and here
  std::string header_;   // the header line being unfolded
  bool haveHeader_ = false;
  std::string transferEncoding_;
  std::vector<std::string> boundaries_;  // outermost first
  std::unordered_map<std::string_view, size_t> boundaryDepth_;  // into boundaries_
  std::unique_ptr<TNetCoder> transfer_;
  std::string heldLineEnd_;  // the last content line's end, until the next line shows
                             // whether it belongs to a boundary
  std::vector<TNetDecoderItem> items_;
};

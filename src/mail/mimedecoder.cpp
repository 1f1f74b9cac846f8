#include "mail/mimedecoder.h"

#include <algorithm>
#include <cstddef>
#include <optional>

#include "mail/mimeparameter.h"
#include "text/asciitext.h"

TNetMimeDecoder::TNetMimeDecoder() : transfer_(std::make_unique<TNetCoder>()) {}
TNetMimeDecoder::~TNetMimeDecoder() = default;

std::vector<TNetDecoderItem> TNetMimeDecoder::TakeItems() {
  std::vector<TNetDecoderItem> taken;
  taken.swap(items_);
  return taken;
}

void TNetMimeDecoder::TakeItems(std::vector<TNetDecoderItem>& into) {
  into.clear();
  into.swap(items_);
}

bool TNetMimeDecoder::PassesThrough() const {
  return state_ == TState::Content && boundaries_.empty() && pos_ == pending_.size() &&
         heldLineEnd_.empty() && items_.empty() && transfer_->PassesThrough();
}

void TNetMimeDecoder::Emit(int code, std::string text) {
  items_.push_back({code, std::move(text)});
}

void TNetMimeDecoder::Decode(std::string_view bytes) {
  if (items_.empty() || items_.back().Code != kItemData) items_.push_back({kItemData, {}});
  transfer_->Decode(bytes, items_.back().Text);
  if (items_.back().Text.empty()) items_.pop_back();
}

void TNetMimeDecoder::FlushDecoder() {
  if (items_.empty() || items_.back().Code != kItemData) items_.push_back({kItemData, {}});
  transfer_->Decode(heldLineEnd_, items_.back().Text);
  heldLineEnd_.clear();
  transfer_->Finish(items_.back().Text);
  if (items_.back().Text.empty()) items_.pop_back();
}

void TNetMimeDecoder::Write(std::string_view bytes) {
  if (pos_ == pending_.size() && state_ != TState::Header && boundaries_.empty()) {
    if (state_ == TState::Content) Decode(bytes);
    return;
  }
  pending_.append(bytes);
  Process(false);
}

void TNetMimeDecoder::Finish() {
  Process(true);
  if (state_ == TState::Header) CompleteHeaderLine();
  else if (state_ == TState::Content) FlushDecoder();
}

void TNetMimeDecoder::Process(bool final) {
  constexpr size_t npos = std::string_view::npos;
  const std::string_view input = pending_;
  const size_t size = input.size();
  while (pos_ < size) {
    if (state_ != TState::Header && boundaries_.empty()) {
      if (state_ == TState::Content) Decode(input.substr(pos_));
      pos_ = size;
      break;
    }
    const size_t start = pos_;
    const size_t from = std::max(pos_, scanned_);
    if (state_ == TState::Header) {
      size_t end = input.find_first_of("\r\n", from);
      // A CR at the very end may still be followed by its LF.
      bool open = end == npos || (input[end] == '\r' && end + 1 == size);
      if (open && !final) {
        scanned_ = end == npos ? size : end;
        break;
      }
      if (end == npos) end = size;
      size_t next = std::min(end + 1, size);
      if (end < size && input[end] == '\r' && next < size && input[next] == '\n') ++next;
      pos_ = next;
      HeaderLine(input.substr(start, end - start));
    } else {
      size_t end = input.find('\n', from);
      if (end == npos && !final) {
        scanned_ = size;
        break;
      }
      pos_ = end == npos ? size : end + 1;
      ContentLine(input.substr(start, pos_ - start));
    }
  }
  // Keep only the unprocessed tail (at most a partial line), so each byte moves once.
  if (pos_ >= size) {
    pending_.clear();
    pos_ = scanned_ = 0;
  } else if (pos_ > 0) {
    pending_.erase(0, pos_);
    scanned_ = scanned_ > pos_ ? scanned_ - pos_ : 0;
    pos_ = 0;
  }
}

void TNetMimeDecoder::HeaderLine(std::string_view line) {
  if (Trimmed(line).empty()) {
    CompleteHeaderLine();
    Emit(kItemHeaderEnded, {});
    transfer_ = MakeTransferDecoder(transferEncoding_);
    state_ = TState::Content;
    return;
  }
  if (IsBlank(line[0])) {
    line.remove_prefix(line.find_first_not_of(" \t"));
    if (haveHeader_) {
      if (!header_.empty() && !IsBlank(header_.back())) header_ += ' ';
      header_.append(line);
      return;
    }
  }
  CompleteHeaderLine();
  header_.assign(line);
  haveHeader_ = true;
}

void TNetMimeDecoder::CompleteHeaderLine() {
  if (!haveHeader_) return;
  haveHeader_ = false;
  Emit(kItemHeaderLine, header_);
  ExamineHeaderLine(header_);
}

void TNetMimeDecoder::ExamineHeaderLine(std::string_view line) {
  size_t colon = line.find(':');
  std::string_view value =
      colon == std::string_view::npos ? std::string_view() : Trimmed(line.substr(colon + 1));
  if (StartsWithNoCase(line, "content-transfer-encoding")) {
    transferEncoding_ = value;
  } else if (StartsWithNoCase(line, "content-type")) {
    auto boundary = MimeParameter(value, "boundary");
    if (boundary && !boundary->empty()) AddBoundary(*boundary);
    if (auto name = MimeParameter(value, "name")) Emit(kItemFileName, *name);
  } else if (StartsWithNoCase(line, "content-disposition")) {
    if (auto name = MimeParameter(value, "filename")) Emit(kItemFileName, *name);
  }
}

void TNetMimeDecoder::ContentLine(std::string_view line) {
  size_t length = line.size();
  if (length > 0 && line[length - 1] == '\n') {
    --length;
    if (length > 0 && line[length - 1] == '\r') --length;
  }
  std::string_view content = line.substr(0, length);
  if (IsBoundaryLine(content) || state_ == TState::Epilogue) return;
  Decode(heldLineEnd_);
  Decode(content);
  heldLineEnd_.assign(line.substr(length));
}

void TNetMimeDecoder::AddBoundary(const std::string& boundary) {
  if (boundaries_.size() >= kMaxMultipartDepth || boundaryDepth_.count(boundary)) return;
  // Reserved up front, so that the views the set holds never move.
  if (boundaries_.empty()) boundaries_.reserve(kMaxMultipartDepth);
  boundaries_.push_back(boundary);
  boundaryDepth_.emplace(boundaries_.back(), boundaries_.size() - 1);
}

void TNetMimeDecoder::CloseBoundaries(size_t depth) {
  while (boundaries_.size() > depth) {
    boundaryDepth_.erase(boundaries_.back());
    boundaries_.pop_back();
  }
}

bool TNetMimeDecoder::IsBoundaryLine(std::string_view content) {
  if (content.size() < 3 || content[0] != '-' || content[1] != '-' || boundaries_.empty())
    return false;
  content.remove_prefix(2);
  // "--" boundary, then blanks (an opening line) or "--" and blanks (a closing one).
  const std::string_view text = content.substr(0, content.find_last_not_of(" \t") + 1);
  auto found = boundaryDepth_.find(text);
  bool closing = false;
  if (found == boundaryDepth_.end()) {
    if (!text.ends_with("--")) return false;
    found = boundaryDepth_.find(text.substr(0, text.size() - 2));
    if (found == boundaryDepth_.end()) return false;
    closing = true;
  }
  const size_t depth = found->second;
  std::string met = boundaries_[depth];

  // The line end before the boundary line is part of the boundary, not of the content.
  heldLineEnd_.clear();
  if (state_ == TState::Content) FlushDecoder();
  transfer_ = std::make_unique<TNetCoder>();
  // A boundary of an enclosing multipart also ends the inner ones still open.
  CloseBoundaries(closing ? depth : depth + 1);
  if (closing) {
    state_ = TState::Epilogue;
  } else {
    Emit(kItemBoundary, std::move(met));
    state_ = TState::Header;
    transferEncoding_.clear();
  }
  return true;
}

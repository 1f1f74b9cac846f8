// Lines out of a byte buffer, read as a connection would deliver them.
#pragma once
#include <string>

#include "base/linereader.h"

class TNetStringLineReader : public TNetLineReader {
 public:
  explicit TNetStringLineReader(std::string bytes) : bytes_(std::move(bytes)) {}
  // The next line up to LF, without the LF and one CR before it. Bytes after the last LF
  // are never delivered: when no complete line is left, throws ENetConnClosedGracefully,
  // as a connection does when the peer has closed.
  std::string_view ReadLn() override;

 private:
  std::string bytes_;
  size_t pos_ = 0;
};

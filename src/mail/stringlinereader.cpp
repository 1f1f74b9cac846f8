#include "mail/stringlinereader.h"

#include "base/netexceptions.h"

std::string_view TNetStringLineReader::ReadLn() {
  size_t lf = bytes_.find('\n', pos_);
  if (lf == std::string::npos) throw ENetConnClosedGracefully();
  size_t end = lf > pos_ && bytes_[lf - 1] == '\r' ? lf - 1 : lf;
  std::string_view line = std::string_view(bytes_).substr(pos_, end - pos_);
  pos_ = lf + 1;
  return line;
}

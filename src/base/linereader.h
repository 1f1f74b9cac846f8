// Where the lines of a reply or a mail come from: a TCP connection, or a buffer in tests.
#pragma once
#include <string_view>

class TNetLineReader {
 public:
  virtual ~TNetLineReader() = default;
  // The next line: the bytes up to LF, without the LF and without one CR right before it,
  // seen in the reader's own buffer: the view is valid until the next ReadLn.
  // Throws (a network failure, ENetConnClosedGracefully) when no further line can be read.
  virtual std::string_view ReadLn() = 0;
};

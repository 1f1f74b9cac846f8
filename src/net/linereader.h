// Where the lines of a reply or a mail come from: a TCP connection, or a buffer in tests.
#pragma once
#include <string>

class TNetLineReader {
 public:
  virtual ~TNetLineReader() = default;
  // The next line: the bytes up to LF, without the LF and without one CR right before it.
  // Throws (a network failure, ENetConnClosedGracefully) when no further line can be read.
  virtual std::string ReadLn() = 0;
};

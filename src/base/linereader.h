// Where the lines of a reply or a mail come from: a TCP connection, or a buffer in tests.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

class TNetLineReader {
 public:
  virtual ~TNetLineReader() = default;
  // The next line: the bytes up to LF, without the LF and without one CR right before it,
  // seen in the reader's own buffer: the view is valid until the next ReadLn.
  // Throws (a network failure, ENetConnClosedGracefully) when no further line can be read.
  virtual std::string_view ReadLn() = 0;

  // The lines of a dot-terminated answer (a mail, RFC 1939), as ReadLn would give them,
  // appended to text each followed by CR LF, a line that begins with ".." losing its first
  // ".". Stops once text has grown by limit bytes or more (false), or after the line that
  // holds only "." (true; that line is not appended). A reader may hand over many lines at
  // once; this one takes them one by one.
  virtual bool ReadDotLines(std::string& text, size_t limit);
};

#include "base/linereader.h"

bool TNetLineReader::ReadDotLines(std::string& text, size_t limit) {
  const size_t stop = text.size() + limit;
  while (text.size() < stop) {
    std::string_view line = ReadLn();
    if (line == ".") return true;
    if (line.starts_with("..")) line.remove_prefix(1);
    text.append(line);
    text.append("\r\n");
  }
  return false;
}

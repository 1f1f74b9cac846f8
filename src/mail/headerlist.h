// The header lines of a mail or of one part of it, as they were read.
#pragma once
#include <string>
#include <string_view>
#include <vector>

class TNetHeaderList {
 public:
  // Every line as read, continuation lines included (not unfolded).
  std::vector<std::string> Lines;

  void Add(std::string line) { Lines.push_back(std::move(line)); }

  // The value of the first header whose name (the text before a line's first ":") equals
  // the name without regard to case: the rest of its line, with the continuation lines that
  // follow (lines that begin with a space or TAB) appended without their leading blanks and
  // joined by one space unless the value already ends in a blank. Leading blanks of the
  // value are removed. Empty when there is no such header.
  std::string Value(std::string_view name) const;
};

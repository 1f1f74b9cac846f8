// The header lines of a mail or of one part of it, as they were read.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "text/asciitext.h"

// The value of the first header among count lines (line(i) gives line i) whose name (the
// text before a line's first ":") equals the name without regard to case: the rest of its
// line, with the continuation lines that follow (lines that begin with a space or TAB)
// appended without their leading blanks and joined by one space unless the value already
// ends in a blank. Leading blanks of the value are removed. Empty when there is no such
// header.
template <class LineAt>
std::string HeaderValueOf(size_t count, const LineAt& line, std::string_view name) {
  for (size_t i = 0; i < count; ++i) {
    const std::string_view text = line(i);
    const size_t colon = text.find(':');
    if (colon == std::string_view::npos || !EqualsNoCase(text.substr(0, colon), name)) continue;
    std::string value(text.substr(colon + 1));
    for (size_t k = i + 1; k < count; ++k) {
      const std::string_view next = line(k);
      if (next.empty() || !IsBlank(next[0])) break;
      const size_t start = next.find_first_not_of(" \t");
      if (!value.empty() && !IsBlank(value.back())) value += ' ';
      if (start != std::string_view::npos) value.append(next.substr(start));
    }
    const size_t start = value.find_first_not_of(" \t");
    return start == std::string::npos ? std::string() : value.substr(start);
  }
  return {};
}

class TNetHeaderList {
 public:
  // Every line as read, continuation lines included (not unfolded).
  std::vector<std::string> Lines;

  void Add(std::string line) { Lines.push_back(std::move(line)); }

  // The value of the first header of that name, as HeaderValueOf describes it.
  std::string Value(std::string_view name) const;
};

#include "mail/headerlist.h"

#include "text/asciitext.h"

std::string TNetHeaderList::Value(std::string_view name) const {
  for (size_t i = 0; i < Lines.size(); ++i) {
    const std::string& line = Lines[i];
    size_t colon = line.find(':');
    if (colon == std::string::npos || !EqualsNoCase(std::string_view(line).substr(0, colon), name))
      continue;
    std::string value = line.substr(colon + 1);
    for (size_t k = i + 1; k < Lines.size(); ++k) {
      const std::string& next = Lines[k];
      if (next.empty() || !IsBlank(next[0])) break;
      size_t start = next.find_first_not_of(" \t");
      if (!value.empty() && !IsBlank(value.back())) value += ' ';
      if (start != std::string::npos) value.append(next, start);
    }
    size_t start = value.find_first_not_of(" \t");
    return start == std::string::npos ? std::string() : value.substr(start);
  }
  return {};
}

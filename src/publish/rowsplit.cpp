#include "publish/rowsplit.h"

#include "base/sjisliteral.h"
#include "text/sjissearch.h"

namespace {

bool IsBlankCode(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u >= 1 && u <= 32;
}

}  // namespace

std::vector<std::string> SplitRow(std::string_view row) {
  if (size_t nul = row.find('\0'); nul != std::string_view::npos) row = row.substr(0, nul);

  std::vector<std::string> fields;
  size_t i = 0;
  const size_t n = row.size();
  auto skipBlanks = [&] {
    while (i < n && IsBlankCode(row[i])) ++i;
  };

  skipBlanks();
  while (i < n) {
    std::string field;
    if (row[i] == '"') {
      ++i;
      while (i < n) {
        if (row[i] == '"') {
          if (i + 1 < n && row[i + 1] == '"') {
            field += '"';
            i += 2;
            continue;
          }
          ++i;  // the closing quote
          break;
        }
        field += row[i++];
      }
    } else {
      const size_t start = i;
      while (i < n && row[i] != ',' && !IsBlankCode(row[i])) {
        // A trail byte may be any byte from 40 up, never a separator, but the pair stays whole.
        i += (IsSjisLeadByte(static_cast<unsigned char>(row[i])) && i + 1 < n) ? 2 : 1;
      }
      field.assign(row.substr(start, i - start));
    }
    fields.push_back(std::move(field));
    skipBlanks();
    if (i < n && row[i] == ',') {
      ++i;
      skipBlanks();
    }
  }
  return fields;
}

// Building rows and taking rendered pages apart, for the page tests.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "base/sjisliteral.h"
#include "intake/recentorders.h"

namespace page_test {

// A list row as the item stage writes it, from UTF-8 parts (lookup and review quoted).
inline std::string Row(std::string_view date, std::string_view name, std::string_view code,
                       std::string_view lookup, std::string_view prefecture, std::string_view price,
                       std::string_view qty, std::string_view review) {
  return Sjis(std::string(date) + "," + std::string(name) + "," + std::string(code) + ",\"" +
              std::string(lookup) + "\"," + std::string(prefecture) + "," + std::string(price) + "," +
              std::string(qty) + ",\"" + std::string(review) + "\"");
}

// The list the renderer is given, read from rows' lines.
inline TRecentOrders List(const std::vector<std::string>& lines) {
  TRecentOrders rows;
  for (const std::string& line : lines) rows.push_back(DecodeOrderRow(line));
  return rows;
}

// The page's lines; every line of a page ends with CR LF, so the text after the last one is empty.
inline std::vector<std::string> Lines(const std::string& page) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = page.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(page.substr(start, end - start));
  }
  if (start != page.size()) lines.push_back("<unterminated>" + page.substr(start));
  return lines;
}

inline std::vector<std::string> RowLines(const std::string& page) {
  std::vector<std::string> rows;
  for (const std::string& line : Lines(page)) {
    if (line.rfind("<tr align=Left>", 0) == 0) rows.push_back(line);
  }
  return rows;
}

inline size_t Count(std::string_view text, std::string_view what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string_view::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// The text of the cell that starts with the opening tag, e.g. Cell(row, "<td id=nam>").
inline std::string Cell(const std::string& row, const std::string& open) {
  const size_t at = row.find(open);
  if (at == std::string::npos) return "<no cell>";
  const size_t begin = at + open.size();
  return row.substr(begin, row.find("</td>", begin) - begin);
}

}  // namespace page_test

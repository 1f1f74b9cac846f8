#include "mail/mailaddress.h"

#include "text/asciitext.h"

namespace {

std::string Unquoted(std::string_view s) {
  s = Trimmed(s);
  if (s.size() >= 2 && s.front() == '"' && s.back() == '"') s = s.substr(1, s.size() - 2);
  return std::string(s);
}

}  // namespace

TNetEmailAddressItem ParseAddress(std::string_view text) {
  text = Trimmed(text);
  TNetEmailAddressItem item;
  size_t lt = text.rfind('<');
  if (lt != std::string_view::npos) {
    size_t gt = text.find('>', lt);
    size_t length = gt == std::string_view::npos ? gt : gt - lt - 1;
    item.Address = std::string(Trimmed(text.substr(lt + 1, length)));
    item.Name = Unquoted(text.substr(0, lt));
    return item;
  }
  size_t paren = text.find('(');
  if (paren != std::string_view::npos) {
    size_t close = text.rfind(')');
    item.Address = std::string(Trimmed(text.substr(0, paren)));
    size_t length = close == std::string_view::npos || close < paren ? std::string_view::npos
                                                                       : close - paren - 1;
    item.Name = std::string(Trimmed(text.substr(paren + 1, length)));
    return item;
  }
  item.Address = std::string(text);
  return item;
}

std::vector<TNetEmailAddressItem> ParseAddressList(std::string_view text) {
  std::vector<TNetEmailAddressItem> list;
  bool quoted = false;
  int angle = 0, paren = 0;
  size_t start = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || (text[i] == ',' && !quoted && angle == 0 && paren == 0)) {
      std::string_view entry = text.substr(start, i - start);
      if (!Trimmed(entry).empty()) list.push_back(ParseAddress(entry));
      start = i + 1;
      continue;
    }
    char c = text[i];
    if (c == '"') quoted = !quoted;
    else if (quoted) continue;
    else if (c == '<') ++angle;
    else if (c == '>' && angle > 0) --angle;
    else if (c == '(') ++paren;
    else if (c == ')' && paren > 0) --paren;
  }
  return list;
}

#include "mail/mimeparameter.h"

#include "text/asciitext.h"

std::optional<std::string> MimeParameter(std::string_view value, std::string_view name) {
  std::string lower = AsciiLowerCase(value);
  std::string key = AsciiLowerCase(name) + "=";
  for (size_t at = lower.find(key); at != std::string::npos; at = lower.find(key, at + 1)) {
    if (at > 0 && lower[at - 1] != ';' && !IsBlank(lower[at - 1])) continue;
    std::string_view rest = value.substr(at + key.size());
    if (!rest.empty() && rest[0] == '"') {
      rest.remove_prefix(1);
      return std::string(rest.substr(0, rest.find('"')));
    }
    return std::string(rest.substr(0, rest.find_first_of("; \t")));
  }
  return std::nullopt;
}

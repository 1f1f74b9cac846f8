// Like the Windows functions, the model holds the whole file as sections and keys; a change
// is written back as the text of that model. The text is therefore normalised: blank lines
// are dropped, each line is trimmed, blanks around "=" and inside "[ ]" disappear and every
// line ends in CR LF.
//
// Bytes are Shift-JIS: the second byte of a double-byte character is never taken for "]" or
// for an ASCII letter. Names match ASCII letters without regard to case.
#include "platform/profiletext.h"

#include "platform/profile.h"

namespace platform {
namespace {

bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

bool IsLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

std::string_view TrimLeft(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  return s;
}

std::string_view Trim(std::string_view s) {
  s = TrimLeft(s);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

char FoldAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (IsLeadByte(static_cast<unsigned char>(a[i])) && i + 1 < a.size()) {
      if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
      ++i;
    } else if (FoldAscii(a[i]) != FoldAscii(b[i])) {
      return false;
    }
  }
  return true;
}

// Position of the last "]" that is a character of its own, or npos.
size_t LastClosingBracket(std::string_view line) {
  size_t found = std::string_view::npos;
  for (size_t i = 0; i < line.size(); ++i) {
    if (IsLeadByte(static_cast<unsigned char>(line[i]))) {
      ++i;
    } else if (line[i] == ']') {
      found = i;
    }
  }
  return found;
}

// One pair of matching quotes around the value is removed; the value is cut to the
// longest value. The quote test looks at the whole value, before the cut.
std::string Unquote(std::string_view value) {
  bool quoted = value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                value.back() == value.front();
  if (quoted) value.remove_prefix(1);
  std::string out(value.substr(0, kProfileValueMax));
  // A quoted value that fits (with its closing quote) loses the closing quote; one that is
  // longer keeps its cut text as it is.
  if (quoted && value.size() <= kProfileValueMax + 1) out.pop_back();
  return out;
}

// Trailing spaces of the default are dropped, but never its first character.
std::string_view TrimDefault(std::string_view def) {
  while (def.size() > 1 && def.back() == ' ') def.remove_suffix(1);
  return def;
}

}  // namespace

ProfileText::ProfileText(std::string_view text) : sections_(1) {
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    // A NUL ends the line's text, as it ends the C strings the Windows functions use.
    line = Trim(line.substr(0, line.find('\0')));
    if (line.empty()) continue;
    size_t close = line.front() == '[' ? LastClosingBracket(line) : std::string_view::npos;
    if (close != std::string_view::npos) {
      sections_.push_back({std::string(Trim(line.substr(1, close - 1))), {}});
      continue;
    }
    std::vector<Key>& keys = sections_.back().keys;
    size_t eq = line.find('=');  // "=" is never the second byte of a double-byte character
    if (eq == std::string_view::npos) {
      keys.push_back({std::string(line), std::nullopt});
      continue;
    }
    std::string_view name = Trim(line.substr(0, eq));
    // A line without a name right after another one without a name is dropped, as the
    // Windows functions drop it.
    if (name.empty() && !keys.empty() && keys.back().name.empty()) continue;
    keys.push_back({std::string(name), std::string(Trim(line.substr(eq + 1)))});
  }
}

std::string ProfileText::Text() const {
  std::string out;
  for (const Section& section : sections_) {
    if (!section.name.empty()) out += "[" + section.name + "]\r\n";
    for (const Key& key : section.keys) {
      out += key.name;
      if (key.value) out += "=" + *key.value;
      out += "\r\n";
    }
  }
  return out;
}

// The first section of that name, and in it the first key of that name.
const ProfileText::Key* ProfileText::Find(std::string_view section, std::string_view key) const {
  section = Trim(section);
  key = Trim(key);
  for (const Section& s : sections_) {
    if (!SameName(s.name, section)) continue;
    for (const Key& k : s.keys) {
      if (SameName(k.name, key)) return &k;
    }
    return nullptr;  // later sections of the same name are never searched
  }
  return nullptr;
}

// A new key goes at the end of the first section of that name, or a new section at the
// end of the file. New names keep trailing blanks, as the Windows functions do.
ProfileText::Key& ProfileText::Add(std::string_view section, std::string_view key) {
  std::string_view trimmedSection = Trim(section);
  Section* target = nullptr;
  for (Section& s : sections_) {
    if (SameName(s.name, trimmedSection)) {
      target = &s;
      break;
    }
  }
  if (!target) target = &sections_.emplace_back(Section{std::string(TrimLeft(section)), {}});
  return target->keys.emplace_back(Key{std::string(TrimLeft(key)), std::nullopt});
}

std::string ProfileText::Read(std::string_view section, std::string_view key, std::string_view def) const {
  const Key* found = Find(section, key);
  if (found && found->value) return Unquote(*found->value);
  return Unquote(TrimDefault(def));
}

bool ProfileText::Write(std::string_view section, std::string_view key, std::string_view value) {
  std::string_view newValue = TrimLeft(value);
  Key* found = const_cast<Key*>(Find(section, key));
  if (!found) found = &Add(section, key);
  if (found->value && *found->value == newValue) return false;
  found->value = std::string(newValue);
  return true;
}

}  // namespace platform

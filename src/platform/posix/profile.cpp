// Our own profile-file reader and writer, made to give the same results and the same file
// bytes as the Windows functions. Like them, every call loads the whole file into sections
// and keys; a write that changes a value rewrites the whole file from that model. The
// rewrite is therefore normalised: blank lines are dropped, each line is trimmed, blanks
// around "=" and inside "[ ]" disappear and every line ends in CR LF. A write that changes
// nothing leaves the file untouched.
//
// Bytes are Shift-JIS: the second byte of a double-byte character is never taken for "]" or
// for an ASCII letter. Names match ASCII letters without regard to case.
#include "platform/profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <optional>
#include <string_view>
#include <vector>

namespace platform {
namespace {

struct Key {
  std::string name;
  std::optional<std::string> value;  // none for a line without "="
};

struct Section {
  std::string name;  // empty for the lines before the first header (written without one)
  std::vector<Key> keys;
};

using Profile = std::vector<Section>;

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

Profile Parse(std::string_view text) {
  Profile profile(1);
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
      profile.push_back({std::string(Trim(line.substr(1, close - 1))), {}});
      continue;
    }
    std::vector<Key>& keys = profile.back().keys;
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
  return profile;
}

std::string Format(const Profile& profile) {
  std::string out;
  for (const Section& section : profile) {
    if (!section.name.empty()) out += "[" + section.name + "]\r\n";
    for (const Key& key : section.keys) {
      out += key.name;
      if (key.value) out += "=" + *key.value;
      out += "\r\n";
    }
  }
  return out;
}

// The file's text; empty when it does not exist; none when it exists but cannot be read.
std::optional<std::string> Load(const std::string& file) {
  int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? std::optional<std::string>("") : std::nullopt;
  std::optional<std::string> text;
  struct stat st {};
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    text.emplace();
    char buffer[8192];
    ssize_t n;
    while ((n = read(fd, buffer, sizeof buffer)) > 0) text->append(buffer, static_cast<size_t>(n));
    if (n < 0) text.reset();
  }
  close(fd);
  return text;
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

// Replaces the file through a temporary file beside it, so that a failure never leaves the
// settings half written. A file without write permission stays as it is, as a read-only
// file does on Windows (rename alone would replace it).
bool Store(const std::string& file, std::string_view bytes) {
  struct stat st {};
  bool exists = stat(file.c_str(), &st) == 0;
  if (exists && access(file.c_str(), W_OK) != 0) return false;
  const std::string temp = file + ".new";
  int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, bytes);
  if (ok && exists) ok = fchmod(fd, st.st_mode & 07777) == 0;
  ok = close(fd) == 0 && ok;
  if (ok) ok = rename(temp.c_str(), file.c_str()) == 0;
  if (!ok) unlink(temp.c_str());
  return ok;
}

// The first section of that name, and in it the first key of that name.
Key* Find(Profile& profile, std::string_view section, std::string_view key) {
  section = Trim(section);
  key = Trim(key);
  for (Section& s : profile) {
    if (!SameName(s.name, section)) continue;
    for (Key& k : s.keys) {
      if (SameName(k.name, key)) return &k;
    }
    return nullptr;  // later sections of the same name are never searched
  }
  return nullptr;
}

// A new key goes at the end of the first section of that name, or a new section at the
// end of the file. New names keep trailing blanks, as the Windows functions do.
Key& Add(Profile& profile, std::string_view section, std::string_view key) {
  std::string_view trimmedSection = Trim(section);
  Section* target = nullptr;
  for (Section& s : profile) {
    if (SameName(s.name, trimmedSection)) {
      target = &s;
      break;
    }
  }
  if (!target) target = &profile.emplace_back(Section{std::string(TrimLeft(section)), {}});
  return target->keys.emplace_back(Key{std::string(TrimLeft(key)), std::nullopt});
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

std::string ReadProfileString(const std::string& file, const std::string& section,
                              const std::string& key, const std::string& def) {
  std::optional<std::string> text = Load(file);
  Profile profile = Parse(text ? *text : std::string());
  const Key* found = Find(profile, section, key);
  if (found && found->value) return Unquote(*found->value);
  return Unquote(TrimDefault(def));
}

bool WriteProfileString(const std::string& file, const std::string& section,
                        const std::string& key, const std::string& value) {
  std::optional<std::string> text = Load(file);
  if (!text) return false;
  Profile profile = Parse(*text);
  std::string_view newValue = TrimLeft(value);
  Key* found = Find(profile, section, key);
  if (!found) found = &Add(profile, section, key);
  if (found->value && *found->value == newValue) return true;
  found->value = std::string(newValue);
  return Store(file, Format(profile));
}

}  // namespace platform

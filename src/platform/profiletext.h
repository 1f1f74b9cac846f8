// The text of a profile (INI) file, read and changed as the Windows profile functions read
// and change the file (the rules of platform/profile.h), without the file: the portable
// model behind the posix profile functions, and the writer that builds a whole settings
// file on both systems.
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

class ProfileText {
 public:
  explicit ProfileText(std::string_view text);

  // The key's value, or the default, as ReadProfileString gives them.
  std::string Read(std::string_view section, std::string_view key, std::string_view def) const;
  // Sets the key as WriteProfileString does (a missing key at the end of its section, a
  // missing section at the end). False when the key already held that value.
  bool Write(std::string_view section, std::string_view key, std::string_view value);
  // The whole text, normalised: each line trimmed, no blank lines, CR LF line ends.
  std::string Text() const;

 private:
  struct Key {
    std::string name;
    std::optional<std::string> value;  // none for a line without "="
  };
  struct Section {
    std::string name;  // empty for the lines before the first header (written without one)
    std::vector<Key> keys;
  };
  const Key* Find(std::string_view section, std::string_view key) const;
  Key& Add(std::string_view section, std::string_view key);

  std::vector<Section> sections_;
};

}  // namespace platform

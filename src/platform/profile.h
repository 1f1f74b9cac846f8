// The Windows profile (INI) file: section headers in brackets, key=value lines.
// Section and key names match without regard to case; values are read trimmed of blanks,
// with one pair of enclosing quotes removed, and cut to 2047 bytes. Writing updates one key
// and keeps every other section and key; a missing file or section is created.
#pragma once
#include <string>

namespace platform {

constexpr size_t kProfileValueMax = 2047;

std::string ReadProfileString(const std::string& file, const std::string& section,
                              const std::string& key, const std::string& def);
// False when the file cannot be written.
bool WriteProfileString(const std::string& file, const std::string& section,
                        const std::string& key, const std::string& value);

}  // namespace platform

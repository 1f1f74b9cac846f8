// The Windows profile (INI) file: section header lines in brackets, then key=value lines,
// Shift-JIS text. Both systems give the same results and write the same bytes.
//
// Names: section and key names match without regard to case (ASCII letters) and without
// surrounding blanks; the first section of a name is the one used, and in it the first key.
// Reading: the value is trimmed of blanks, one pair of enclosing quotes (" or ') is removed
// and it is cut to kProfileValueMax bytes. A missing file, section or key, or a line without
// "=", gives the default (trailing spaces dropped, quotes removed, cut alike).
// Writing: the value loses its leading blanks. A write that changes nothing leaves the file
// as it is; any other rewrites the file whole, every other section, key and comment kept in
// order, but each line trimmed, blank lines dropped and every line ended by CR LF. A missing
// key is added at the end of its section, a missing section at the end of the file, a missing
// file is created.
// The file is a full path (Windows looks for a bare name in its own folder).
#pragma once
#include <cstddef>
#include <string>

namespace platform {

constexpr size_t kProfileValueMax = 2047;

std::string ReadProfileString(const std::string& file, const std::string& section,
                              const std::string& key, const std::string& def);
// False when the file cannot be written.
bool WriteProfileString(const std::string& file, const std::string& section,
                        const std::string& key, const std::string& value);

}  // namespace platform

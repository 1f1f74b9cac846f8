// File-system services the portable file helpers cannot express alike on both systems.
#pragma once
#include <string>

namespace platform {

// Renames from over to, replacing an existing file in one step. False on failure.
bool RenameReplacing(const std::string& from, const std::string& to);

// True when the file exists and may not be written: read-only on Windows, without write
// permission for this process on Linux.
bool IsReadOnlyFile(const std::string& path);

}  // namespace platform

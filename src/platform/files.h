// File-system services the portable file helpers cannot express alike on both systems.
#pragma once
#include <string>

namespace platform {

// Renames from over to, replacing an existing file in one step. False on failure.
bool RenameReplacing(const std::string& from, const std::string& to);

}  // namespace platform

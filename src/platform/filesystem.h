// File-system services the portable file helpers cannot express alike on both systems.
#pragma once
#include <functional>
#include <string>

namespace platform {

// Renames from over to, replacing an existing file in one step. False on failure.
// On Windows, while another program holds the file open (a spreadsheet showing the list)
// the rename is tried again in short slices for about two seconds before it fails.
bool RenameReplacing(const std::string& from, const std::string& to);

#ifdef _WIN32
// Waits the milliseconds between RenameReplacing's tries. Tests give one that does not
// sleep; an empty one restores the system's. Returns the one it replaces.
using RetryWait = std::function<void(unsigned milliseconds)>;
RetryWait SetRenameRetryWait(RetryWait wait);
#endif

// True when the file exists and may not be written: read-only on Windows, without write
// permission for this process on Linux.
bool IsReadOnlyFile(const std::string& path);

// Writes the file's data that the system still holds in memory to the disk, returning when
// it is there: a power cut afterwards finds the data. False on failure.
bool FlushFileToDisk(const std::string& path);

// Writes the changes of the folder holding the file (a file made, renamed or removed in
// it) to the disk, as FlushFileToDisk does for data. True at once where the rename itself is
// written through (Windows) or the file system cannot flush a folder. False on failure.
bool FlushFolderOf(const std::string& path);

}  // namespace platform

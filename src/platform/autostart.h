// Starting the program when the current user logs on: a value "Vendlume" under
// HKCU\Software\Microsoft\Windows\CurrentVersion\Run holding the program's full path in
// quotes and kAutostartArgument. Windows starts it from the system folder; the argument
// has the program change to its own folder first, where its files are. Without Windows
// (posix) a stand-in keeps the value in the process's memory, so the tests drive the same
// calls. Texts are Shift-JIS.
#pragma once
#include <optional>
#include <string>

namespace platform {

inline constexpr char kAutostartArgument[] = "/autostart";

// The command line this program stores: "\"C:\shop\Vendlume.exe\" /autostart".
std::string AutostartCommand();
// The value stored now, whichever program it names; nothing when there is none.
std::optional<std::string> StoredAutostart();
// Stores AutostartCommand(), or removes the value (none is fine). False when the key cannot
// be changed.
bool StoreAutostart(bool on);

// The folder the running program's file is in, without a trailing separator.
std::string ProgramFolder();
// Makes the folder the current directory; false when it cannot.
bool ChangeCurrentDirectory(const std::string& folder);

}  // namespace platform

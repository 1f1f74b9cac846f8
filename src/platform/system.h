// Facts about the machine and the process.
#pragma once
#include <string>
#include <string_view>

namespace platform {

// The computer's name, at most 128 bytes; empty when it cannot be read.
std::string ComputerName();

// The process's current directory, without a trailing separator.
std::string CurrentDirectory();

// The current directory, the path separator and the name: where the program's files live
// ("C:\shop\Vendlume.ini" on Windows).
std::string FileInCurrentDirectory(std::string_view name);

struct LocalDateTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};
LocalDateTime LocalNow();

}  // namespace platform

#include "platform/autostart.h"

#include <unistd.h>

#include <climits>

namespace platform {
namespace {

std::string ProgramPath() {
  char path[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  return n > 0 ? std::string(path, static_cast<size_t>(n)) : std::string();
}

// The stand-in for the Run key's value: no desktop logs on here.
std::optional<std::string>& Stored() {
  static std::optional<std::string> value;
  return value;
}

}  // namespace

std::string AutostartCommand() { return "\"" + ProgramPath() + "\" " + kAutostartArgument; }

std::optional<std::string> StoredAutostart() { return Stored(); }

bool StoreAutostart(bool on) {
  if (on) Stored() = AutostartCommand();
  else Stored().reset();
  return true;
}

std::string ProgramFolder() {
  std::string path = ProgramPath();
  size_t slash = path.rfind('/');
  return slash == std::string::npos || slash == 0 ? "/" : path.substr(0, slash);
}

bool ChangeCurrentDirectory(const std::string& folder) { return chdir(folder.c_str()) == 0; }

}  // namespace platform

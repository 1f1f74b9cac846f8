#include "platform/profile.h"

#include <windows.h>

// <windows.h> maps WriteProfileString to its A/W variant; this file defines our own.
#undef WriteProfileString

namespace platform {

std::string ReadProfileString(const std::string& file, const std::string& section,
                              const std::string& key, const std::string& def) {
  char buf[kProfileValueMax + 1] = {};
  DWORD n = GetPrivateProfileStringA(section.c_str(), key.c_str(), def.c_str(), buf, sizeof buf,
                                     file.c_str());
  return std::string(buf, n);
}

bool WriteProfileString(const std::string& file, const std::string& section,
                        const std::string& key, const std::string& value) {
  return WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), file.c_str()) != 0;
}

}  // namespace platform

#include "platform/instance.h"

#include <cstdio>

namespace platform {

std::string FolderMutexName(std::string_view nameSpace, std::uint32_t volumeSerial, std::uint64_t fileIndex) {
  char key[40];
  std::snprintf(key, sizeof key, "\\Vendlume-%08lX-%016llX", static_cast<unsigned long>(volumeSerial),
                static_cast<unsigned long long>(fileIndex));
  return std::string(nameSpace) + key;
}

}  // namespace platform

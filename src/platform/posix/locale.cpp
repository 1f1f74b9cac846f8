#include "platform/locale.h"

namespace platform {

// The program's pages are written for Japanese shops; a Japanese Windows groups with ",".
std::string ThousandSeparator() { return ","; }

}  // namespace platform

// The user's regional settings, as far as the program formats numbers with them.
#pragma once
#include <string>

namespace platform {

// The separator between groups of three digits ("," on a Japanese system), in the ANSI
// code page.
std::string ThousandSeparator();

}  // namespace platform

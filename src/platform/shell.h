// Handing an address to the desktop.
#pragma once
#include <string>

namespace platform {

// Opens the address in the default browser, in a normal window. Failures are ignored.
void OpenInBrowser(const std::string& url);

}  // namespace platform

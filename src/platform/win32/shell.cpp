#include "platform/shell.h"

#include <windows.h>
#include <shellapi.h>

namespace platform {

void OpenInBrowser(const std::string& url) {
  ShellExecuteA(nullptr, "open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace platform

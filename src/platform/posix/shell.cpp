#include "platform/shell.h"

#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace platform {

void OpenInBrowser(const std::string& url) {
  pid_t pid;
  char* argv[] = {const_cast<char*>("xdg-open"), const_cast<char*>(url.c_str()), nullptr};
  if (posix_spawnp(&pid, "xdg-open", nullptr, nullptr, argv, environ) == 0) waitpid(pid, nullptr, 0);
}

}  // namespace platform

// The profile functions on a system without them: the portable model of the text
// (platform/profiletext.h) over a file that every call loads whole. A write that changes
// a value rewrites the whole file from that model; one that changes nothing leaves the
// file untouched.
#include "platform/profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <optional>
#include <string_view>

#include "platform/profiletext.h"

namespace platform {
namespace {

// The file's text; empty when it does not exist; none when it exists but cannot be read.
std::optional<std::string> Load(const std::string& file) {
  int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? std::optional<std::string>("") : std::nullopt;
  std::optional<std::string> text;
  struct stat st {};
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    text.emplace();
    char buffer[8192];
    ssize_t n;
    while ((n = read(fd, buffer, sizeof buffer)) > 0) text->append(buffer, static_cast<size_t>(n));
    if (n < 0) text.reset();
  }
  close(fd);
  return text;
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

// Replaces the file through a temporary file beside it, so that a failure never leaves the
// settings half written. A file without write permission stays as it is, as a read-only
// file does on Windows (rename alone would replace it).
bool Store(const std::string& file, std::string_view bytes) {
  struct stat st {};
  bool exists = stat(file.c_str(), &st) == 0;
  if (exists && access(file.c_str(), W_OK) != 0) return false;
  const std::string temp = file + ".new";
  int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, bytes);
  if (ok && exists) ok = fchmod(fd, st.st_mode & 07777) == 0;
  ok = close(fd) == 0 && ok;
  if (ok) ok = rename(temp.c_str(), file.c_str()) == 0;
  if (!ok) unlink(temp.c_str());
  return ok;
}

}  // namespace

std::string ReadProfileString(const std::string& file, const std::string& section,
                              const std::string& key, const std::string& def) {
  std::optional<std::string> text = Load(file);
  return ProfileText(text ? *text : std::string()).Read(section, key, def);
}

bool WriteProfileString(const std::string& file, const std::string& section,
                        const std::string& key, const std::string& value) {
  std::optional<std::string> text = Load(file);
  if (!text) return false;
  ProfileText profile(*text);
  if (!profile.Write(section, key, value)) return true;
  return Store(file, profile.Text());
}

}  // namespace platform

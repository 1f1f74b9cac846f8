#include "intake/recentorders.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <system_error>
#include <optional>

#include "base/files.h"
#include "platform/system.h"
#include "text/lines.h"

void InsertRecentOrder(TRecentOrders& list, std::string row, int count) {
  list.insert(list.begin(), std::move(row));
  const size_t cap = count > 0 ? static_cast<size_t>(count) : 0;
  if (list.size() > cap) list.resize(cap);
}

TRecentOrders LoadRecentOrders(const std::string& path, bool* unreadable) {
  if (unreadable) *unreadable = false;
  std::optional<std::string> bytes;
  try {
    bytes = ReadFileBytes(path);
  } catch (const std::exception&) {
    // The standard library may throw rather than fail the stream (a folder of that name
    // on Linux); the list then starts empty all the same.
  }
  // A power cut can leave a file of its old length filled with NUL bytes: not a list.
  const bool zeroFilled = bytes && !bytes->empty() && bytes->find_first_not_of('\0') == std::string::npos;
  if (!bytes || zeroFilled) {
    std::error_code error;
    if (unreadable) *unreadable = zeroFilled || std::filesystem::exists(path, error) || error;
    return {};
  }
  return SplitLines(*bytes);
}

std::string SetUnreadableListAside(const std::string& path) {
  const platform::LocalDateTime t = platform::LocalNow();
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04d%02d%02d-%02d%02d%02d", t.year, t.month, t.day, t.hour, t.minute,
                t.second);
  const std::string aside = path + ".unreadable-" + stamp;
  std::error_code error;
  std::filesystem::rename(path, aside, error);
  return error ? "" : aside;
}

void SaveRecentOrders(const TRecentOrders& list, const std::string& path) {
  std::string bytes;
  for (const std::string& row : list) bytes += row + "\r\n";
  ReplaceFileBytes(path, bytes);
}

#include "intake/recentorders.h"

#include <exception>
#include <optional>

#include "base/files.h"
#include "text/lines.h"

void InsertRecentOrder(TRecentOrders& list, std::string row, int count) {
  list.insert(list.begin(), std::move(row));
  const size_t cap = count > 0 ? static_cast<size_t>(count) : 0;
  if (list.size() > cap) list.resize(cap);
}

TRecentOrders LoadRecentOrders(const std::string& path) {
  std::optional<std::string> bytes;
  try {
    bytes = ReadFileBytes(path);
  } catch (const std::exception&) {
    // The standard library may throw rather than fail the stream (a folder of that name
    // on Linux); the list then starts empty all the same.
  }
  if (!bytes) return {};
  return SplitLines(*bytes);
}

void SaveRecentOrders(const TRecentOrders& list, const std::string& path) {
  std::string bytes;
  for (const std::string& row : list) bytes += row + "\r\n";
  ReplaceFileBytes(path, bytes);
}

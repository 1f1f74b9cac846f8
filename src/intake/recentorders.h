// The recent-orders list: one row per ordered item, newest first, kept between runs in
// the file itemsl.csv (Shift-JIS, each row followed by CR LF, no header).
#pragma once
#include <string>
#include <vector>

using TRecentOrders = std::vector<std::string>;

// The file's name; it lives in the process's current directory.
inline constexpr const char RecentOrdersFileName[] = "itemsl.csv";

// Puts the row at the top, then drops the oldest rows beyond count (count 0 or less
// empties the list).
void InsertRecentOrder(TRecentOrders& list, std::string row, int count);

// The rows of the file in file order, uncapped; empty when the file is missing or unreadable.
// unreadable, when given, tells an existing file that could not be read from a missing one;
// a file of nothing but NUL bytes (as a power cut can leave one) counts as unreadable.
TRecentOrders LoadRecentOrders(const std::string& path, bool* unreadable = nullptr);

// Renames a list file that exists but cannot be read to path + ".unreadable-" and the local
// date and time (itemsl.csv.unreadable-20161024-090533), so that the first save does not
// write over a history that was never loaded. The new path, or "" when it could not be renamed.
std::string SetUnreadableListAside(const std::string& path);

// Replaces the file with the rows in one step; on failure (EFCreateError, EWriteError)
// the old file stays as it was.
void SaveRecentOrders(const TRecentOrders& list, const std::string& path);

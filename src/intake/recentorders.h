// The recent-orders list: one row per ordered item, newest first, kept between runs in
// the file itemsl.csv (Shift-JIS, each row followed by CR LF, no header).
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// One ordered item. The item stage builds rows whose bare fields (all but lookup and review)
// hold no byte of 20 (hex) or less, no comma and no double quote, and whose lookup and review
// hold no double quote and no line break: such a row reads back from its line unchanged.
struct TOrderRow {
  std::string date;        // "mm/dd　hh:nn"
  std::string name;
  std::string code;
  std::string lookup;      // the image cell (markup) or what the lookup left
  std::string prefecture;
  std::string price;       // as in the mail, or "Error"
  std::string quantity;    // as in the mail, or "Error"
  std::string review;      // the review cell (markup), "-" or empty

  // How the line read from the file held the row. Rows the item stage builds are whole.
  enum TShape { kWhole, kNoReview, kDamaged } shape = kWhole;  // kNoReview: an older file's row
  // The line as read, kept only when the fields would not write it back byte for byte (a
  // damaged line, one edited by hand): the list then writes it back as it was.
  std::optional<std::string> lineAsRead;

  bool operator==(const TOrderRow&) const = default;
};

using TRecentOrders = std::vector<TOrderRow>;

// The row's line without its CR LF: the eight fields joined by commas, lookup and review in
// double quotes ("mm/dd　hh:nn,name,code,\"lookup\",prefecture,price,quantity,\"review\"").
std::string EncodeOrderRow(const TOrderRow& row);

// Reads a line back: the text ends at its first NUL; bytes 01 to 20 (hex) before a field and
// around a comma are skipped. A field in double quotes runs to the next single double quote
// (a doubled one stands for one quote) and loses its quotes; any other field runs up to the
// next byte of 20 or less or a comma, so a blank outside quotes also ends a field. Two commas
// in a row give an empty field; a comma at the very end adds none. Shift-JIS double-byte
// characters are stepped over whole. Fewer than seven fields make a damaged row, seven a row
// without review; fields beyond the eighth are dropped. EncodeOrderRow gives the line back.
TOrderRow DecodeOrderRow(std::string_view line);

// The file's name; it lives in the process's current directory.
inline constexpr const char RecentOrdersFileName[] = "itemsl.csv";

// Puts the row at the top, then drops the oldest rows beyond count (count 0 or less
// empties the list).
void InsertRecentOrder(TRecentOrders& list, TOrderRow row, int count);

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

#include "intake/recentorders.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <system_error>

#include "base/files.h"
#include "platform/system.h"
#include "text/lines.h"
#include "text/sjissearch.h"

namespace {

bool IsBlankCode(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u >= 1 && u <= 32;
}

std::vector<std::string> SplitFields(std::string_view line) {
  if (size_t nul = line.find('\0'); nul != std::string_view::npos) line = line.substr(0, nul);

  std::vector<std::string> fields;
  size_t i = 0;
  const size_t n = line.size();
  auto skipBlanks = [&] {
    while (i < n && IsBlankCode(line[i])) ++i;
  };

  skipBlanks();
  while (i < n) {
    std::string field;
    if (line[i] == '"') {
      ++i;
      while (i < n) {
        if (line[i] == '"') {
          if (i + 1 < n && line[i + 1] == '"') {
            field += '"';
            i += 2;
            continue;
          }
          ++i;  // the closing quote
          break;
        }
        field += line[i++];
      }
    } else {
      const size_t start = i;
      while (i < n && line[i] != ',' && !IsBlankCode(line[i])) {
        // A trail byte may be any byte from 40 up, never a separator, but the pair stays whole.
        i += (IsSjisLeadByte(static_cast<unsigned char>(line[i])) && i + 1 < n) ? 2 : 1;
      }
      field.assign(line.substr(start, i - start));
    }
    fields.push_back(std::move(field));
    skipBlanks();
    if (i < n && line[i] == ',') {
      ++i;
      skipBlanks();
    }
  }
  return fields;
}

}  // namespace

std::string EncodeOrderRow(const TOrderRow& row) {
  if (row.lineAsRead) return *row.lineAsRead;
  std::string line = row.date + "," + row.name + "," + row.code + ",\"" + row.lookup + "\"," + row.prefecture + "," +
                     row.price + "," + row.quantity;
  if (row.shape == TOrderRow::kWhole) line += ",\"" + row.review + "\"";
  return line;
}

TOrderRow DecodeOrderRow(std::string_view line) {
  std::vector<std::string> fields = SplitFields(line);
  TOrderRow row;
  row.shape = fields.size() < 7 ? TOrderRow::kDamaged : fields.size() == 7 ? TOrderRow::kNoReview : TOrderRow::kWhole;
  fields.resize(8);
  std::string* const targets[] = {&row.date,  &row.name,     &row.code, &row.lookup, &row.prefecture,
                                  &row.price, &row.quantity, &row.review};
  for (size_t i = 0; i < fields.size(); ++i) *targets[i] = std::move(fields[i]);
  if (row.shape == TOrderRow::kDamaged || EncodeOrderRow(row) != line) row.lineAsRead = std::string(line);
  return row;
}

void InsertRecentOrder(TRecentOrders& list, TOrderRow row, int count) {
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
  TRecentOrders list;
  for (const std::string& line : SplitLines(*bytes)) list.push_back(DecodeOrderRow(line));
  return list;
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
  for (const TOrderRow& row : list) bytes += EncodeOrderRow(row) + "\r\n";
  ReplaceFileBytes(path, bytes);
}

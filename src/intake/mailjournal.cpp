#include "intake/mailjournal.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <vector>

#include "base/files.h"
#include "platform/system.h"
#include "text/lines.h"

namespace {

// FNV-1a, 64 bits: enough to tell a few hundred mails and lists apart; nothing here
// defends against a chosen collision, only against taking a mail twice by accident.
uint64_t Fnv1a(std::string_view bytes, uint64_t hash = 14695981039346656037ull) {
  for (unsigned char c : bytes) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  return hash;
}

std::string Hex(uint64_t value) {
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
  return text;
}

// The saved-mails file keeps this many entries, newest last.
constexpr size_t kSavedMailsKept = 64;

std::vector<std::string> SavedEntries(const std::string& path) {
  std::optional<std::string> bytes = ReadFileBytes(path);
  if (!bytes) return {};
  return SplitLines(*bytes);
}

std::string TwoDigits(int value) {
  char text[8];
  std::snprintf(text, sizeof text, "%02d", value % 100);
  return text;
}

}  // namespace

std::string MailKey(std::string_view messageId, std::string_view text) {
  // Two digests with different seeds: the key is 32 hex digits.
  const uint64_t first = Fnv1a(text, Fnv1a("\n", Fnv1a(messageId)));
  const uint64_t second = Fnv1a(text, Fnv1a(messageId, 0x9e3779b97f4a7c15ull));
  return Hex(first) + Hex(second);
}

std::string ListDigest(const TRecentOrders& list) {
  uint64_t hash = Fnv1a("");
  for (const TOrderRow& row : list) hash = Fnv1a("\r\n", Fnv1a(EncodeOrderRow(row), hash));
  return Hex(hash) + "-" + std::to_string(list.size());
}

bool MailAlreadySaved(const std::string& path, const std::string& key, const TRecentOrders& list) {
  const std::string entry = key + " " + ListDigest(list);
  const std::vector<std::string> entries = SavedEntries(path);
  return std::find(entries.begin(), entries.end(), entry) != entries.end();
}

void NoteMailSaved(const std::string& path, const std::string& key, const TRecentOrders& list) {
  std::vector<std::string> entries = SavedEntries(path);
  entries.push_back(key + " " + ListDigest(list));
  const size_t skip = entries.size() > kSavedMailsKept ? entries.size() - kSavedMailsKept : 0;
  std::string bytes;
  for (size_t i = skip; i < entries.size(); ++i) bytes += entries[i] + "\r\n";
  ReplaceFileBytes(path, bytes);
}

bool TMailTries::FailedAgain(const std::string& key, Clock::time_point now) {
  if (key != key_ || tries_ == 0) {
    key_ = key;
    tries_ = 0;
    first_ = now;
  }
  ++tries_;
  return tries_ >= kMaxMailTries && now - first_ >= kMinTrySpan;
}

std::string KeepFailedMail(const std::string& folder, std::string_view text) {
  namespace fs = std::filesystem;
  std::error_code error;
  fs::create_directories(folder, error);

  const platform::LocalDateTime t = platform::LocalNow();
  const std::string stamp = std::to_string(t.year) + TwoDigits(t.month) + TwoDigits(t.day) + "-" +
                            TwoDigits(t.hour) + TwoDigits(t.minute) + TwoDigits(t.second);
  std::string path;
  for (int n = 1;; ++n) {
    path = folder + "/" + stamp + "-" + std::to_string(n) + ".eml";
    if (!fs::exists(path, error)) break;
  }
  ReplaceFileBytes(path, text);

  // Oldest first: the names begin with the time, and the number breaks ties in a second.
  struct Kept {
    fs::path path;
    uintmax_t size;
    std::string order;
  };
  std::vector<Kept> older;
  uintmax_t total = 0;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    if (!entry.is_regular_file(error)) continue;
    const uintmax_t size = entry.file_size(error);
    total += size;
    const std::string name = entry.path().filename().string();
    if (name == fs::path(path).filename().string()) continue;  // never the copy just made
    const size_t dash = name.rfind('-');
    const size_t dot = name.rfind('.');
    std::string order = name;
    if (dash != std::string::npos && dot != std::string::npos && dot > dash && dot - dash - 1 <= 12)
      order = name.substr(0, dash) + std::string(12 - (dot - dash - 1), '0') + name.substr(dash + 1, dot - dash - 1);
    older.push_back({entry.path(), size, order});
  }
  std::sort(older.begin(), older.end(), [](const Kept& a, const Kept& b) { return a.order < b.order; });
  size_t files = older.size() + 1;
  for (const Kept& k : older) {
    if (files <= kMaxFailedMails && total <= kMaxFailedBytes) break;
    if (fs::remove(k.path, error)) {
      --files;
      total -= k.size;
    }
  }
  return path;
}

#include "intake/mailjournal.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <utility>
#include <vector>

#include "base/files.h"
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

// The number of a copy named "<n>.eml" or "<n>-<key>.eml"; 0 for any other name.
uint64_t CopyNumber(const std::string& name) {
  const size_t digits = name.find_first_not_of("0123456789");
  if (digits == 0 || digits == std::string::npos || digits > 18) return 0;
  const std::string rest = name.substr(digits);
  const bool keyed = rest.size() == 1 + 32 + 4 && rest[0] == '-' &&
                     rest.find_first_not_of("0123456789abcdef", 1) == 33 && rest.compare(33, 4, ".eml") == 0;
  if (rest != ".eml" && !keyed) return 0;
  return std::stoull(name.substr(0, digits));
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

void TMailTrouble::Note(Clock::time_point now, std::string message) {
  if (!since_) since_ = now;
  message_ = std::move(message);
}

bool TMailTrouble::HoldsBackLongEnough(Clock::time_point now) const {
  return since_ && now - *since_ >= kTroubleBeforeSkipping;
}

std::string KeepFailedMail(const std::string& folder, const std::string& key, std::string_view text) {
  namespace fs = std::filesystem;
  std::error_code error;
  fs::create_directories(folder, error);

  // The copies in the order they were written: by the number their names begin with, which
  // no clock moves.
  struct Kept {
    fs::path path;
    uintmax_t size;
    uint64_t number;
  };
  std::vector<Kept> kept;
  uintmax_t total = 0;
  const std::string suffix = key.empty() ? std::string() : "-" + key + ".eml";
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    if (!entry.is_regular_file(error)) continue;
    const std::string name = entry.path().filename().string();
    if (!suffix.empty() && name.size() > suffix.size() &&
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
      return folder + "/" + name;
    const uint64_t number = CopyNumber(name);
    const uintmax_t size = entry.file_size(error);
    total += size;
    kept.push_back({entry.path(), size, number});
  }
  std::sort(kept.begin(), kept.end(), [](const Kept& a, const Kept& b) { return a.number < b.number; });
  const uint64_t next = kept.empty() ? 1 : kept.back().number + 1;
  const std::string path = folder + "/" + std::to_string(next) + (key.empty() ? ".eml" : suffix);
  ReplaceFileBytes(path, text);

  total += text.size();
  size_t files = kept.size() + 1;
  for (const Kept& k : kept) {
    if (files <= kMaxFailedMails && total <= kMaxFailedBytes) break;
    if (fs::remove(k.path, error)) {
      --files;
      total -= k.size;
    }
  }
  return path;
}

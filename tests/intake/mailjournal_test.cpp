#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "intake/mailjournal.h"
#include "intake/recentorders.h"
#include "support/testing.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ScopedTempDir;

TEST(SavedMails, AMailIsKnownOnlyWithTheListItWasSavedWith) {
  ScopedTempDir dir;
  const std::string key = MailKey("<1@mall>", "order text");
  const TRecentOrders before = {DecodeOrderRow("old")};
  const TRecentOrders after = {DecodeOrderRow("new"), DecodeOrderRow("old")};
  EXPECT_FALSE(MailAlreadySaved("itemsl.mails", key, after));  // no file yet

  NoteMailSaved("itemsl.mails", key, after);
  EXPECT_TRUE(MailAlreadySaved("itemsl.mails", key, after));
  // Noted, but the list was never saved (the program stopped in between): not known.
  EXPECT_FALSE(MailAlreadySaved("itemsl.mails", key, before));
  // Another mail, or the same Message-ID with another text, is not this one.
  EXPECT_FALSE(MailAlreadySaved("itemsl.mails", MailKey("<2@mall>", "order text"), after));
  EXPECT_FALSE(MailAlreadySaved("itemsl.mails", MailKey("<1@mall>", "order text!"), after));
  EXPECT_NE(MailKey("", "a\nb"), MailKey("a", "b"));
}

TEST(SavedMails, TheFileKeepsTheLatestEntriesOnly) {
  ScopedTempDir dir;
  for (int i = 0; i < 200; ++i) NoteMailSaved("itemsl.mails", MailKey("", std::to_string(i)), {DecodeOrderRow(std::to_string(i))});
  EXPECT_TRUE(MailAlreadySaved("itemsl.mails", MailKey("", "199"), {DecodeOrderRow("199")}));
  EXPECT_FALSE(MailAlreadySaved("itemsl.mails", MailKey("", "0"), {DecodeOrderRow("0")}));
  EXPECT_LT(testing_support::ReadAll("itemsl.mails").size(), 100u * 60);
}

TEST(MailTrouble, LastsFromTheFirstFailureUntilTheMailIsTaken) {
  using namespace std::chrono_literals;
  TMailTrouble trouble;
  const auto t0 = TMailTrouble::Clock::time_point{} + 1000s;
  struct Step {
    std::chrono::seconds at;
    const char* failure;  // nullptr: the mail was taken
    std::optional<std::chrono::seconds> since;
    const char* last;
    bool holdsBackLongEnough;
  };
  const std::vector<Step> steps = {
      {0s, "RETR 1: -ERR locked", 0s, "RETR 1: -ERR locked", false},
      {599s, "the order list cannot be saved", 0s, "the order list cannot be saved", false},  // not yet
      {600s, "RETR 1: -ERR locked", 0s, "RETR 1: -ERR locked", true},                      // ten minutes
      {601s, nullptr, std::nullopt, "", false},
      {700s, "Connection reset", 700s, "Connection reset", false},  // a new trouble starts afresh
      {1299s, "Connection reset", 700s, "Connection reset", false},
      {1300s, "Connection reset", 700s, "Connection reset", true},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.at.count());
    if (s.failure) trouble.Note(t0 + s.at, s.failure);
    else trouble.End();
    EXPECT_EQ(trouble.Since(), s.since ? std::optional(t0 + *s.since) : std::nullopt);
    EXPECT_EQ(trouble.LastMessage(), s.last);
    EXPECT_EQ(trouble.HoldsBackLongEnough(t0 + s.at), s.holdsBackLongEnough);
  }
}

size_t FilesIn(const std::string& folder) {
  size_t files = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(folder)) ++files;
  return files;
}

TEST(FailedMails, EachMailIsKeptOnceInItsOwnFileAndTheFolderStaysBoundedOldestWrittenFirst) {
  ScopedTempDir dir;
  // A copy of an earlier version, named by a clock that was ahead: older all the same.
  fs::create_directory("failed");
  testing_support::WriteAll("failed/29991231-235959-1.eml", "from the future");
  std::vector<std::string> paths;
  for (size_t i = 0; i < kMaxFailedMails + 5; ++i) {
    const std::string text = "mail " + std::to_string(i);
    paths.push_back(KeepFailedMail("failed", MailKey("", text), text));
  }
  EXPECT_EQ(FilesIn("failed"), kMaxFailedMails);
  EXPECT_FALSE(fs::exists("failed/29991231-235959-1.eml"));
  // The oldest went, the newest stayed with its text.
  for (size_t i = 0; i < 5; ++i) EXPECT_FALSE(fs::exists(paths[i])) << i;
  EXPECT_TRUE(fs::exists(paths[5]));
  EXPECT_EQ(testing_support::ReadAll(paths.back()), "mail " + std::to_string(kMaxFailedMails + 4));

  // The same mail again: its copy stays as it was, and nothing is pushed out.
  const std::string again = "mail " + std::to_string(kMaxFailedMails);
  EXPECT_EQ(KeepFailedMail("failed", MailKey("", again), "changed"), paths[kMaxFailedMails]);
  EXPECT_EQ(testing_support::ReadAll(paths[kMaxFailedMails]), again);
  EXPECT_TRUE(fs::exists(paths[5]));
  // Without a key every give-up is a copy of its own.
  const std::string first = KeepFailedMail("failed", "", "RETR 1: -ERR");
  EXPECT_NE(KeepFailedMail("failed", "", "RETR 1: -ERR"), first);
  EXPECT_FALSE(fs::exists(paths[6]));

  // By size: one large copy pushes the older ones out, never itself.
  const std::string big(kMaxFailedBytes - 10, 'x');
  const std::string bigPath = KeepFailedMail("failed", MailKey("", "big"), big);
  EXPECT_TRUE(fs::exists(bigPath));
  EXPECT_LE(FilesIn("failed"), 2u);
}

TEST(RecentOrdersFile, AnUnreadableListIsToldApartAndSetAside) {
  ScopedTempDir dir;
  bool unreadable = true;
  EXPECT_TRUE(LoadRecentOrders("itemsl.csv", &unreadable).empty());
  EXPECT_FALSE(unreadable);  // missing is not unreadable
  EXPECT_EQ(SetUnreadableListAside("itemsl.csv"), "");

  // A folder of that name opens but cannot be read.
  fs::create_directory("itemsl.csv");
  fs::create_directory("itemsl.csv/inside");
  EXPECT_TRUE(LoadRecentOrders("itemsl.csv", &unreadable).empty());
  EXPECT_TRUE(unreadable);
  const std::string aside = SetUnreadableListAside("itemsl.csv");
  ASSERT_NE(aside, "");
  EXPECT_EQ(aside.rfind("itemsl.csv.unreadable-", 0), 0u) << aside;
  EXPECT_TRUE(fs::exists(aside + "/inside"));
  EXPECT_FALSE(fs::exists("itemsl.csv"));
}

}  // namespace

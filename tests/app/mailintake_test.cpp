// The mail intake's transaction rules, cycle by cycle, against a mailbox in memory and a
// clock the test moves: what stays on the server, what is deleted, what reaches itemsl.csv
// and failed/, and what is logged.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/mailintake.h"
#include "base/logcodes.h"
#include "base/netexceptions.h"
#include "base/sjisliteral.h"
#include "intake/recentorders.h"
#include "support/order_mail.h"
#include "support/scripted_mailbox.h"
#include "support/testing.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing_support::OrderMail;
using testing_support::ReadAll;
using testing_support::ScopedTempDir;
using testing_support::ScriptedMailbox;
using Fault = ScriptedMailbox::Fault;

const std::string kOrder = OrderMail("2016-10-24 09:05:33", "mug-001");
const std::string kSecondOrder = OrderMail("2016-10-24 09:06:00", "mug-002");
const std::string kThirdOrder = OrderMail("2016-10-24 09:07:00", "mug-004");
const std::string kSameItemAgain = OrderMail("2016-10-24 10:06:00", "mug-001");
const std::string kBadDate = OrderMail("not a date at all..", "mug-003");
const std::string kNoText =
    "From: x@example.com\r\nSubject: file\r\nMIME-Version: 1.0\r\n"
    "Content-Type: application/octet-stream; name=\"a.bin\"\r\n"
    "Content-Transfer-Encoding: base64\r\n\r\nAAECAw==\r\n";
const std::string kOrderHead = kOrder.substr(0, kOrder.find("\r\n\r\n") + 4);
const std::vector<int> kLoggedThrice(3, kLogGetCsv);

// The mall answers every search, but no review page can be had.
class ReviewsFail : public TNoProductLookup {
 public:
  TLookupResult LookupReviews() override { return {TLookupResult::kFailed, ""}; }
};

// One poll cycle, at a time after the first, with what the mailbox does to its retrieval.
struct Cycle {
  std::chrono::seconds at;
  Fault fault = Fault::None;
  std::function<void()> before = {};  // a change to the folder before the cycle
  bool restart = false;               // the program starts again: the list comes from the file
  Fault behind = Fault::None;         // what the retrieval of the mail behind message 1 does
};

void MakeListReadOnly() {
  testing_support::WriteAll("itemsl.csv", "");
  fs::permissions("itemsl.csv", fs::perms::all, fs::perm_options::remove);
}

void MakeListWritable() {
  fs::permissions("itemsl.csv", fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add);
}

std::vector<Cycle> EveryFifteenSeconds(int cycles, Fault fault) {
  std::vector<Cycle> all;
  for (int i = 0; i < cycles; ++i) all.push_back({std::chrono::seconds(15 * i), fault});
  return all;
}

struct Case {
  const char* name;
  std::vector<std::string> mails;
  std::vector<Cycle> cycles;
  std::function<void(ScriptedMailbox&)> prepare;
  // After the last cycle:
  size_t mailsLeft;
  std::vector<std::string> codes;  // the list's item codes, newest first
  std::string kept;                // the one copy in failed/ ("" for none)
  std::vector<int> logged;
  std::string lastSteps;           // what the last cycle did on the mailbox
  std::string atDeletions;         // the rows saved and copies kept at each deletion
  int listChanges;
  bool reviewsFail = false;
  int reports = 0;  // lines for the owner
  std::optional<std::chrono::seconds> troubleSince = std::nullopt;  // the trouble's start, from the first cycle
};

const Case kCases[] = {
    {"an order is saved, then deleted", {kOrder}, {{0s}}, {}, 0, {"mug-001"}, "", {},
     "OPEN STAT RETR 1 DELE 1 QUIT", "rows=1 failed=0;", 1},
    {"an empty mailbox ends the session", {}, {{0s}}, {}, 0, {}, "", {}, "OPEN STAT QUIT", "", 0},
    {"a mailbox that cannot be reached is logged", {kOrder}, {{0s}},
     [](ScriptedMailbox& box) { box.openFails = true; }, 1, {}, "", {kLogConnectionFailed}, "OPEN", "", 0},
    {"oldest first, newest row on top", {kOrder, kSecondOrder}, EveryFifteenSeconds(2, Fault::None), {}, 0,
     {"mug-002", "mug-001"}, "", {}, "OPEN STAT RETR 1 DELE 1 QUIT", "rows=1 failed=0;rows=2 failed=0;", 2},
    {"a bad date is kept in failed/, then deleted, and the next mail taken", {kBadDate, kSecondOrder},
     EveryFifteenSeconds(2, Fault::None), {}, 0, {"mug-002"}, kBadDate, {kLogGetCsv},
     "OPEN STAT RETR 1 DELE 1 QUIT", "rows=0 failed=1;rows=1 failed=1;", 1},
    {"a mail without text is kept in failed/, then deleted", {kNoText, kOrder}, EveryFifteenSeconds(2, Fault::None),
     {}, 0, {"mug-001"}, kNoText, {kLogGetCsv}, "OPEN STAT RETR 1 DELE 1 QUIT", "rows=0 failed=1;rows=1 failed=1;", 1},
    {"over the size limit: its head is kept and it is deleted in a new session", {kOrder},
     {{0s, Fault::OverLimit}}, {}, 0, {}, kOrderHead, {kLogGetCsv}, "OPEN STAT RETR 1 OPEN STAT DELE 1 QUIT",
     "rows=0 failed=1;", 0},
    {"an undecodable section is kept in failed/, then deleted", {kOrder}, {{0s, Fault::Undecodable}}, {}, 0, {},
     kOrder, {kLogGetCsv}, "OPEN STAT RETR 1 DELE 1 QUIT", "rows=0 failed=1;", 0},
    {"RETR refused: the mail stays, nothing is committed", {kOrder}, {{0s, Fault::Refused}}, {}, 1, {}, "",
     {kLogGetCsv}, "OPEN STAT RETR 1 ABANDON", "", 0, false, 0, 0s},
    {"a temporary file that fails: the mail stays", {kOrder}, {{0s, Fault::LocalFailure}}, {}, 1, {}, "",
     {kLogGetCsv}, "OPEN STAT RETR 1 ABANDON", "", 0, false, 0, 0s},
    {"a review page that fails is the mall's trouble: the order is saved and deleted", {kOrder}, {{0s}}, {}, 0,
     {"mug-001"}, "", {}, "OPEN STAT RETR 1 DELE 1 QUIT", "rows=1 failed=0;", 1, true},
    {"the connection fails in the RETR: thrown, the mail stays", {kOrder}, {{0s, Fault::ConnectionLost}}, {}, 1,
     {}, "", {}, "OPEN STAT RETR 1 THROWN", "", 0, false, 0, 0s},
    {"the server closes in the RETR: the cycle ends quietly", {kOrder}, {{0s, Fault::ServerClosed}}, {}, 1, {},
     "", {}, "OPEN STAT RETR 1", "", 0, false, 0, 0s},
    {"a list that cannot be saved keeps the mail, however long, until it can be", {kOrder},
     {{0s, Fault::None, MakeListReadOnly}, {15s}, {30s}, {45s}, {60s}, {75s}, {90s, Fault::None, MakeListWritable}},
     {}, 0, {"mug-001"}, "", std::vector<int>(6, kLogGetCsv), "OPEN STAT RETR 1 DELE 1 QUIT", "rows=1 failed=0;", 1,
     false, 6},
    {"a mail given up again after its deletion failed is kept in failed/ once", {kBadDate},
     EveryFifteenSeconds(3, Fault::None), [](ScriptedMailbox& box) { box.deletionsRefused = 2; }, 0, {}, kBadDate,
     std::vector<int>(3, kLogGetCsv), "QUIT OPEN STAT RETR 1 DELE 1 QUIT", "rows=0 failed=1;rows=0 failed=1;rows=0 failed=1;", 0},
    {"a copy that cannot be kept in failed/ keeps the mail", {kBadDate},
     {{0s, Fault::None, [] { testing_support::WriteAll("failed", "a file in the way"); }}}, {}, 1, {}, "",
     {kLogGetCsv}, "OPEN STAT RETR 1 ABANDON", "", 0, false, 0, 0s},
    {"a mail that comes back after its save is only deleted, also after a restart", {kOrder, kOrder, kOrder},
     {{0s}, {15s}, {30s, Fault::None, {}, true}}, {}, 0, {"mug-001"}, "", {}, "OPEN STAT RETR 1 DELE 1 QUIT",
     "rows=1 failed=0;rows=1 failed=0;rows=1 failed=0;", 3},
    {"another order of the same item is a new mail", {kOrder, kSameItemAgain}, EveryFifteenSeconds(2, Fault::None),
     {}, 0, {"mug-001", "mug-001"}, "", {}, "OPEN STAT RETR 1 DELE 1 QUIT", "rows=1 failed=0;rows=2 failed=0;", 2},
    {"ten minutes on, message 1 is tried first, then the next taken or given up, until message 1 goes through",
     {kOrder, kBadDate, kThirdOrder}, {{0s, Fault::Refused}, {600s, Fault::Refused}, {660s, Fault::Refused}, {720s}},
     {}, 0, {"mug-001", "mug-004"}, kBadDate, std::vector<int>(4, kLogGetCsv), "OPEN STAT RETR 1 DELE 1 QUIT",
     "rows=0 failed=1;rows=1 failed=1;rows=2 failed=1;", 2, false, 2},
    {"a mail that goes through starts the next one's trouble afresh", {kOrder, kSecondOrder, kThirdOrder},
     {{0s, Fault::Refused}, {50s}, {55s, Fault::Refused}, {654s, Fault::Refused}}, {}, 2, {"mug-001"}, "",
     kLoggedThrice, "OPEN STAT RETR 1 ABANDON", "rows=1 failed=0;", 1, false, 0, 55s},  // 599 s: still held back
    {"a mail behind that fails too stays", {kOrder, kSecondOrder},
     {{0s, Fault::Refused}, {600s, Fault::Refused, {}, false, Fault::Refused}}, {}, 2, {}, "", kLoggedThrice,
     "OPEN STAT RETR 1 RETR 2 ABANDON", "", 0, false, 1, 0s},
    {"the session failing on message 1 for ten minutes: the next is taken in a new session", {kOrder, kSecondOrder},
     {{0s, Fault::ConnectionLost}, {600s, Fault::ServerClosed}}, {}, 1, {"mug-002"}, "", {},
     "OPEN STAT RETR 1 OPEN STAT RETR 2 DELE 2 QUIT", "rows=1 failed=0;", 1, false, 1, 0s},
    {"a list that cannot be saved for ten minutes: the mail behind is tried and stays too", {kOrder, kSecondOrder},
     {{0s, Fault::None, MakeListReadOnly}, {600s}, {660s, Fault::None, MakeListWritable}}, {}, 1, {"mug-001"}, "",
     kLoggedThrice, "OPEN STAT RETR 1 DELE 1 QUIT", "rows=1 failed=0;", 1, false, 4},
};

size_t FilesIn(const std::string& folder) {
  size_t n = 0;
  std::error_code error;
  for ([[maybe_unused]] auto& e : fs::directory_iterator(folder, error)) ++n;
  return n;
}

std::string Joined(const std::vector<std::string>& steps, size_t from) {
  std::string text;
  for (size_t i = from; i < steps.size(); ++i) text += (text.empty() ? "" : " ") + steps[i];
  return text;
}

TEST(MailIntake, TheTransactionRulesCycleByCycle) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    ScopedTempDir dir;
    ScriptedMailbox box;
    box.mails = c.mails;
    if (c.prepare) c.prepare(box);
    TRecentOrders list;
    std::string shopName;
    const TSettings settings;
    std::vector<int> logged;
    int listChanges = 0;
    int reports = 0;
    const auto start = TMailIntake::Clock::time_point{} + 1000h;
    auto now = start;
    const TMailIntake::THooks hooks{[&] { return now; }, [&](int code) { logged.push_back(code); },
                                    [] { return false; }, [&] { ++listChanges; },
                                    [&](const std::string&) { ++reports; }, {}};
    std::optional<TMailIntake> intake(std::in_place, box, list, shopName, settings, hooks);
    std::string atDeletions;
    box.onDelete = [&] {
      atDeletions += "rows=" + std::to_string(LoadRecentOrders("itemsl.csv").size()) +
                     " failed=" + std::to_string(FilesIn("failed")) + ";";
    };
    TNoProductLookup lookup;
    ReviewsFail failingReviews;
    size_t cycleStart = 0;
    for (const Cycle& cycle : c.cycles) {
      now = start + cycle.at;
      if (cycle.before) cycle.before();
      if (cycle.restart) {
        list = LoadRecentOrders("itemsl.csv");
        intake.emplace(box, list, shopName, settings, hooks);
      }
      box.faults.push_back(cycle.fault);
      box.faults.push_back(cycle.behind);
      cycleStart = box.steps.size();
      const size_t onServer = box.mails.size();
      try {
        intake->RunCycle(c.reviewsFail ? static_cast<TProductLookup&>(failingReviews) : lookup);
      } catch (const ENetException&) {
        box.steps.push_back("THROWN");
      }
      box.faults.clear();
      EXPECT_EQ(intake->MessagesFound(), box.openFails ? 0 : static_cast<int>(onServer));
    }
    EXPECT_EQ(box.mails.size(), c.mailsLeft);
    std::vector<std::string> codes;
    for (const TOrderRow& row : list) codes.push_back(row.code);
    EXPECT_EQ(codes, c.codes);
    // The list in memory is the list on disk.
    std::string saved;
    for (const TOrderRow& row : list) saved += EncodeOrderRow(row) + "\r\n";
    EXPECT_EQ(ReadAll("itemsl.csv"), saved);
    EXPECT_EQ(FilesIn("failed"), c.kept.empty() ? 0u : 1u);
    if (!c.kept.empty() && FilesIn("failed") == 1) {
      EXPECT_EQ(ReadAll(fs::directory_iterator("failed")->path().string()), c.kept);
    }
    EXPECT_EQ(logged, c.logged);
    EXPECT_EQ(Joined(box.steps, cycleStart), c.lastSteps);
    EXPECT_EQ(atDeletions, c.atDeletions);
    EXPECT_EQ(listChanges, c.listChanges);
    EXPECT_EQ(reports, c.reports);
    EXPECT_EQ(intake->TroubleSince(), c.troubleSince ? std::optional(start + *c.troubleSince) : std::nullopt);
    if (!codes.empty()) {
      EXPECT_EQ(shopName, Sjis(" 桜商店"));
    }
  }
}

// Leaving in the middle of a cycle: before the list is saved the session is dropped; after
// it, the deletion may still go through.
TEST(MailIntake, LeavingDropsTheSessionOnlyUntilTheListIsSaved) {
  ScopedTempDir dir;
  ScriptedMailbox box;
  box.mails = {kOrder};
  TRecentOrders list;
  std::string shopName;
  const TSettings settings;
  bool leaving = false;
  TMailIntake intake(box, list, shopName, settings,
                     {[] { return TMailIntake::Clock::now(); }, [](int) {}, [&] { return leaving; }, [] {},
                      [](const std::string&) {}, {}});
  // The owner leaves while the items are looked up: nothing is stored.
  class LeavingLookup : public TNoProductLookup {
   public:
    explicit LeavingLookup(bool& leaving) : leaving_(leaving) {}
    TLookupResult LookupByCode(const std::string&) override {
      leaving_ = true;
      return {TLookupResult::kFound, ""};
    }
    bool& leaving_;
  } leavingLookup(leaving);
  intake.RunCycle(leavingLookup);
  EXPECT_EQ(Joined(box.steps, 0), "OPEN STAT RETR 1 ABANDON");
  EXPECT_EQ(box.mails.size(), 1u);
  EXPECT_FALSE(testing_support::FileExists("itemsl.csv"));

  // Once saved, the session is kept for the deletion.
  leaving = false;
  box.onDelete = [&] {
    intake.AbandonUnsaved();
    box.onDelete = nullptr;
  };
  TNoProductLookup lookup;
  intake.RunCycle(lookup);
  EXPECT_EQ(box.mails.size(), 0u);
  EXPECT_EQ(list.size(), 1u);
  // Between cycles nothing is saved yet: a session left open is dropped.
  box.steps.clear();
  box.mails = {kSecondOrder};
  box.Open();
  intake.RunCycle(lookup);  // ends that session with a commit first
  EXPECT_EQ(Joined(box.steps, 0), "OPEN QUIT OPEN STAT RETR 1 DELE 1 QUIT");
}

}  // namespace

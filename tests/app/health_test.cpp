#include "app/health.h"

#include <gtest/gtest.h>

#include "app/healthtext.h"
#include "base/sjisliteral.h"

namespace {

// The record under test with a clock the test sets, run through a script of steps, each a minute on:
// "F<part>:<message>" a failure, "S<part>" a success, "C" a cycle that ran, "X" one that failed, "O" an
// order, "U" an upload, "u:<message>" a failed one, "D" the next day; parts m(ailbox) f(tp) l mall d(isk).
struct Record {
  platform::LocalDateTime now{2026, 12, 9, 10, 0, 0};
  std::vector<std::string> sunk;  // the sink's events, UTF-8
  THealth health{[this] { return now; },
                 [this](const THealthEvent& e) { sunk.push_back(SjisToUtf8Text(HealthEventLine(e))); }};

  explicit Record(const std::vector<std::string>& steps) {
    for (const std::string& step : steps) {
      now.minute++;
      const auto part = THealthPart(std::string("mfld").find(step.size() > 1 ? step[1] : 'm'));
      if (step[0] == 'F') health.Failed(part, Sjis(step.substr(3)));
      if (step[0] == 'S') health.Succeeded(part);
      if (step[0] == 'C' || step[0] == 'X') health.CycleEnded(step[0] == 'C');
      if (step[0] == 'O') health.OrderTaken();
      if (step[0] == 'U' || step[0] == 'u') health.UploadEnded(step[0] == 'U', step[0] == 'U' ? "" : step.substr(2));
      if (step[0] == 'D') now = {2026, 12, 10, 0, 0, 0};
    }
  }
};

// The warning, then each notice taken ("<part>-" told, "<part>+" cleared); a notice taken twice is "again".
std::string Told(Record& r) {
  std::string told = r.health.Warning() ? "warning" : "quiet";
  for (const THealthNotice& n : r.health.TakeNotices()) told += {' ', "mfld"[int(n.part)], n.cleared ? '+' : '-'};
  return told + (r.health.TakeNotices().empty() ? "" : " again");
}
std::string Tip(Record& r) { return SjisToUtf8Text(HealthTip(r.health)); }
std::string Status(Record& r) { return HealthStatusText(r.health); }
std::string Report(Record& r) { return SjisToUtf8Text(HealthReport(r.health)); }

// Each text whole, or where the expected text starts with "\n" the lines named.
TEST(Health, TroublesAreToldAfterTwoCyclesOnceAndWhenTheyClearInTheTipTheStatusFileAndTheReport) {
  const std::vector<std::string> file = {"Fd:ファイル item.html を作成できません", "C",
                                         "Fd:ファイル item.html を作成できません", "C", "Fd:ストリームへの\r\n書き込みエラー", "C"};
  const std::string jp = "証明書の有効期限が切れています", mailbox = "Vendlume\r\nメールボックス 12/09 10:01 から: ";
  const struct { const char* name; std::vector<std::string> steps; std::string (*read)(Record&); std::string expected; }
      cases[] = {
          {"two failed cycles are quiet, one without the part's work does not count", {"Ff:x", "C", "C", "Ff:x", "C"},
           Told, "quiet"},
          {"the third is told", {"Ff:x", "C", "Ff:x", "C", "Ff:x", "C"}, Told, "warning f-"},
          {"told once however long it lasts", {"Ff:x", "C", "Ff:x", "C", "Ff:x", "C", "Ff:x", "C"}, Told, "warning f-"},
          {"a quiet trouble clears without a notice", {"Ff:x", "C", "Ff:x", "C", "Sf", "C"}, Told, "quiet"},
          {"a told trouble clears with one notice", {"Ff:x", "C", "Ff:x", "C", "Ff:x", "C", "Sf", "C", "Sf", "C"},
           Told, "quiet f- f+"},
          {"a success in the cycle that failed clears nothing",
           {"Fl:timeout", "Sl", "C", "Fl:timeout", "Sl", "C", "Fl:timeout", "Sl", "X"}, Told, "warning l-"},
          {"parts are apart", {"Fm:refused", "Ff:x", "C", "Fm:refused", "C", "Fm:refused", "X"}, Told, "warning m-"},
          {"tip: nothing yet", {}, Tip, "Vendlume\r\n確認 まだ\r\n注文 なし"},
          {"tip: a failed cycle", {"X"}, Tip, "Vendlume\r\n確認 12/09 10:01 失敗\r\n注文 なし"},
          {"tip: orders and uploads", {"O", "U", "C"}, Tip,
           "Vendlume\r\n確認 12/09 10:03\r\n注文 12/09 10:01 (今日 1 件)\r\n公開 12/09 10:02"},
          {"tip: a trouble first, no room for the upload", {"O", "U", "C", "u:421 Service not available"}, Tip,
           "Vendlume\r\nFTP 12/09 10:04 から: 421 Service not available\r\n確認 12/09 10:03\r\n"
           "注文 12/09 10:01 (今日 1 件)"},
          {"tip: a long message is cut", {"Fm:" + std::string(300, 'a'), "C"}, Tip, mailbox + std::string(84, 'a')},
          {"tip: one byte short before a double-byte character", {"Fm:a" + jp + jp + jp, "C"}, Tip,
           mailbox + "a" + jp + jp + "証明書の有効期限が切れ"},
          {"status: a trouble keeps its first time and its newest message", file, Status,
           "updated=2026-12-09 10:06:00\nlast_poll=2026-12-09 10:06:00\nlast_poll_ok=1\nlast_order=\norders_today=0\n"
           "last_upload=\nlast_upload_ok=\nwarning=1\nmailbox=ok\nftp=ok\nmall=ok\nfiles=trouble\n"
           "files.since=2026-12-09 10:01:00\nfiles.cycles=3\nfiles.message=ストリームへの 書き込みエラー\n"},
          {"status: a failed mailbox spoils the poll; a failed upload", {"Fm:refused", "u:553 x", "C"}, Status,
           "\nlast_poll_ok=0\nlast_order=\norders_today=0\nlast_upload=2026-12-09 10:02:00\nlast_upload_ok=0\n"},
          {"status: an upload clears the FTP trouble, a new day the orders", {"O", "u:553 x", "C", "U", "C", "D"},
           Status, "\norders_today=0\nlast_upload=2026-12-09 10:04:00\nlast_upload_ok=1\nwarning=0\nmailbox=ok\n"
           "ftp=ok\n"},
          {"report: the same failure again is no new event, the lasting is", file, Report,
           "\n2026/12/09 10:06:00 [ファイル] 問題が続いています (3 回目)\r\n2026/12/09 10:05:00 [ファイル] 失敗: "
           "ストリームへの 書き込みエラー\r\n2026/12/09 10:01:00 [ファイル] 失敗: ファイル item.html を作成できません\r\n"},
          {"report: orders are counted by day", {"O", "O", "D", "O"}, Report,
           "\n2026/12/10 00:01:00 注文を受け付けました (今日 1 件目)\r\n2026/12/09 10:02:00 注文を受け付けました (今日 2 件目)\r\n"},
          {"report", {"Fl:HTTP/1.1 503 Service Unavailable", "X", "O", "U"}, Report,
           "最終確認: 2026/12/09 10:02:00 (失敗)\r\n最終注文: 2026/12/09 10:03:00 (今日 1 件)\r\n"
           "最終公開: 2026/12/09 10:04:00 (正常)\r\n\r\nメールボックス: 正常\r\nFTP: 正常\r\n"
           "モール: 問題あり (2026/12/09 10:01:00 から 1 回) HTTP/1.1 503 Service Unavailable\r\nファイル: 正常\r\n\r\n"
           "最近の出来事:\r\n2026/12/09 10:04:00 [FTP] ページを公開しました\r\n"
           "2026/12/09 10:03:00 注文を受け付けました (今日 1 件目)\r\n"
           "2026/12/09 10:01:00 [モール] 失敗: HTTP/1.1 503 Service Unavailable\r\n"},
      };
  for (const auto& c : cases) {
    Record r(c.steps);
    const std::string text = c.read(r);
    EXPECT_TRUE(text == c.expected || (c.expected[0] == '\n' && text.find(c.expected) != std::string::npos))
        << c.name << "\n" << text;
  }
}

TEST(Health, TheLastFiftyEventsAreKept) {
  std::vector<std::string> steps;
  for (int i = 0; i < 60; ++i) steps.insert(steps.end(), {"Fl:error " + std::to_string(i), "X"});
  const Record r(steps);
  EXPECT_EQ(r.sunk.size(), 61u);  // 60 failures and the lasting
  ASSERT_EQ(r.health.Events().size(), kHealthEventsKept);
  EXPECT_EQ(SjisToUtf8Text(r.health.Events().front().text), "失敗: error 10");
  EXPECT_EQ(SjisToUtf8Text(r.health.Events().back().text), "失敗: error 59");
}

}  // namespace

#include "app/health.h"

#include <gtest/gtest.h>

#include "app/healthtext.h"
#include "base/sjisliteral.h"

namespace {

// The record under a test clock, fed a script of steps a minute apart: "F<part>:<message>" a failure,
// "S<part>" a success, "C"/"X" a cycle that ran/failed, "O" an order, "U"/"u:<message>" an upload that
// went/failed, "D" the next day; parts m(ailbox) f(tp) l (mall) d(isk).
struct Record {
  platform::LocalDateTime now{2026, 12, 9, 10, 0, 0};
  std::vector<std::string> sunk;  // the sink's events, UTF-8
  THealth health{[this] { return now; },
                 [this](const THealthEvent& e) { sunk.push_back(SjisToUtf8Text(HealthEventLine(e))); }};

  explicit Record(const std::vector<std::string>& steps) {
    for (const std::string& s : steps) {
      now.minute++;
      const auto part = THealthPart(std::string("mfld").find(s.size() > 1 ? s[1] : 'm'));
      if (s[0] == 'F') health.Failed(part, Sjis(s.substr(3)));
      if (s[0] == 'S') health.Succeeded(part);
      if (s[0] == 'C' || s[0] == 'X') health.CycleEnded(s[0] == 'C');
      if (s[0] == 'O') health.OrderTaken();
      if (s[0] == 'U' || s[0] == 'u') health.UploadEnded(s[0] == 'U', s[0] == 'U' ? "" : s.substr(2));
      if (s[0] == 'D') now = {2026, 12, 10, 0, 0, 0};
    }
  }
};

// The warning, then the notices taken ("<part>-" told, "<part>+" cleared), " again" if a second take has any.
std::string Told(Record& r) {
  std::string told = r.health.Warning() ? "warning" : "quiet";
  for (const THealthNotice& n : r.health.TakeNotices()) told += {' ', "mfld"[int(n.part)], n.cleared ? '+' : '-'};
  return told + (r.health.TakeNotices().empty() ? "" : " again");
}
std::string Tip(Record& r) { return SjisToUtf8Text(HealthTip(r.health)); }
std::string Status(Record& r) { return HealthStatusText(r.health); }
std::string Report(Record& r) { return SjisToUtf8Text(HealthReport(r.health)); }

// Each text whole or, where the expected text starts with "\n", containing it.
TEST(Health, TroublesAreToldAfterTwoCyclesOnceAndWhenTheyClear) {
  // A mall trouble that lasts, changing its message; then an order and an upload.
  const std::vector<std::string> mall = {"Fl:HTTP/1.1 503", "X", "Fl:HTTP/1.1 503", "X", "Fl:timed\r\nout", "X",
                                         "O", "U"};
  const std::string jp = "証明書の有効期限が切れています";
  const struct { std::vector<std::string> steps; std::string (*read)(Record&); std::string expected; } cases[] = {
      {{"Ff:x", "C", "C", "Ff:x", "C", "Sf", "C"}, Told, "quiet"},  // a cycle without FTP work does not count
      {{"Ff:x", "C", "Ff:x", "C", "Ff:x", "C", "Ff:x", "C", "Sf", "C", "Sf", "C"}, Told, "quiet f- f+"},
      {{"Fl:t", "Sl", "Fm:r", "C", "Fl:t", "Sl", "Fm:r", "C", "Fl:t", "Sl", "Ff:x", "X"}, Told, "warning l-"},
      {{"O", "U", "X", "u:421 Service not available"}, Tip,  // troubles first, then what fits
       "Vendlume\r\nFTP 12/09 10:04 から: 421 Service not available\r\n確認 12/09 10:03 失敗\r\n注文 12/09 10:01 (今日 1 件)"},
      {{"Fm:a" + jp + jp + jp, "C"}, Tip,  // cut one byte short of a double-byte character
       "Vendlume\r\nメールボックス 12/09 10:01 から: a" + jp + jp + "証明書の有効期限が切れ"},
      {mall, Status,
       "updated=2026-12-09 10:08:00\nlast_poll=2026-12-09 10:06:00\nlast_poll_ok=0\nlast_order=2026-12-09 10:07:00\n"
       "orders_today=1\nlast_upload=2026-12-09 10:08:00\nlast_upload_ok=1\nwarning=1\nmailbox=ok\nftp=ok\n"
       "mall=trouble\nmall.since=2026-12-09 10:01:00\nmall.cycles=3\nmall.message=timed out\nfiles=ok\n"},
      {{"O", "Fm:r", "C", "D"}, Status, "\nlast_poll_ok=0\nlast_order=2026-12-09 10:01:00\norders_today=0\n"},
      {{"O", "O", "D", "O"}, Report, "\n2026/12/10 00:01:00 注文を受け付けました (今日 1 件目)\r\n"
                                     "2026/12/09 10:02:00 注文を受け付けました (今日 2 件目)\r\n"},
      {mall, Report,  // the same failure again is no event, another message is
       "最終確認: 2026/12/09 10:06:00 (失敗)\r\n最終注文: 2026/12/09 10:07:00 (今日 1 件)\r\n最終公開: 2026/12/09 "
       "10:08:00 (正常)\r\n\r\nメールボックス: 正常\r\nFTP: 正常\r\nモール: 問題あり (2026/12/09 10:01:00 から 3 回) "
       "timed out\r\nファイル: 正常\r\n\r\n最近の出来事:\r\n2026/12/09 10:08:00 [FTP] ページを公開しました\r\n"
       "2026/12/09 10:07:00 注文を受け付けました (今日 1 件目)\r\n2026/12/09 10:06:00 [モール] 問題が続いています "
       "(3 回目)\r\n2026/12/09 10:05:00 [モール] 失敗: timed out\r\n2026/12/09 10:01:00 [モール] 失敗: HTTP/1.1 503\r\n"},
  };
  for (const auto& c : cases) {
    Record r(c.steps);
    const std::string text = c.read(r);
    EXPECT_TRUE(text == c.expected || (c.expected[0] == '\n' && text.find(c.expected) != std::string::npos))
        << &c - cases << "\n" << text;
  }
  std::vector<std::string> steps;
  for (int i = 0; i < 60; ++i) steps.insert(steps.end(), {"Fl:error " + std::to_string(i), "X"});
  const Record many(steps);  // 60 failures and the lasting: the last 50 are kept
  EXPECT_EQ(many.sunk.size(), 61u);
  const auto& kept = many.health.Events();
  EXPECT_EQ(SjisToUtf8Text(kept.front().text + kept.back().text), "失敗: error 10失敗: error 59");
}

}  // namespace

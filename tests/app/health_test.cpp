#include "app/health.h"

#include <gtest/gtest.h>

#include "app/healthtext.h"
#include "base/sjisliteral.h"

namespace {

// The record under test with a clock the test sets.
struct Record {
  platform::LocalDateTime now{2026, 12, 9, 10, 0, 0};
  std::vector<std::string> sunk;  // the sink's events, UTF-8
  THealth health{[this] { return now; },
                 [this](const THealthEvent& e) { sunk.push_back(SjisToUtf8Text(HealthEventLine(e))); }};
};

// A script of steps: "F<part>:<message>" a failure, "S<part>" a success, "C" a cycle that
// ran, "X" a cycle that failed; parts m(ailbox) f(tp) l(mall) d(isk).
THealthPart PartOf(char c) {
  switch (c) {
    case 'm': return THealthPart::Mailbox;
    case 'f': return THealthPart::Ftp;
    case 'l': return THealthPart::Mall;
    default: return THealthPart::LocalFiles;
  }
}

void Play(Record& r, const std::vector<std::string>& steps) {
  for (const std::string& step : steps) {
    r.now.minute++;
    if (step[0] == 'F') r.health.Failed(PartOf(step[1]), Sjis(step.substr(3)));
    if (step[0] == 'S') r.health.Succeeded(PartOf(step[1]));
    if (step[0] == 'C' || step[0] == 'X') r.health.CycleEnded(step[0] == 'C');
  }
}

TEST(Health, TroublesAreToldAfterTwoCyclesOnceAndWhenTheyClear) {
  struct Case {
    const char* name;
    std::vector<std::string> steps;
    bool warning;
    std::vector<std::pair<THealthPart, bool>> notices;  // part, cleared
    int ftpCycles;  // -1: no FTP trouble
  } cases[] = {
      {"one failed cycle is quiet", {"Ff:530 Login incorrect.", "C"}, false, {}, 1},
      {"two failed cycles are quiet", {"Ff:x", "C", "Ff:x", "C"}, false, {}, 2},
      {"the third is told", {"Ff:x", "C", "Ff:x", "C", "Ff:x", "C"}, true, {{THealthPart::Ftp, false}}, 3},
      {"told once however long it lasts",
       {"Ff:x", "C", "Ff:x", "C", "Ff:x", "C", "Ff:x", "C", "Ff:x", "C"}, true, {{THealthPart::Ftp, false}}, 5},
      {"a cycle without the part's work does not count",
       {"Ff:x", "C", "C", "C", "Ff:x", "C"}, false, {}, 2},
      {"a quiet trouble clears without a notice", {"Ff:x", "C", "Ff:x", "C", "Sf", "C"}, false, {}, -1},
      {"a told trouble clears with one notice",
       {"Ff:x", "C", "Ff:x", "C", "Ff:x", "C", "Sf", "C", "Sf", "C"}, false,
       {{THealthPart::Ftp, false}, {THealthPart::Ftp, true}}, -1},
      {"a success in the cycle that failed clears nothing",
       {"Fl:timeout", "Sl", "C", "Fl:timeout", "Sl", "C", "Fl:timeout", "Sl", "X"}, true,
       {{THealthPart::Mall, false}}, -1},
      {"parts are apart", {"Fm:refused", "Ff:x", "C", "Fm:refused", "C", "Fm:refused", "X"}, true,
       {{THealthPart::Mailbox, false}}, 1},
  };
  for (const Case& c : cases) {
    Record r;
    Play(r, c.steps);
    EXPECT_EQ(r.health.Warning(), c.warning) << c.name;
    std::vector<std::pair<THealthPart, bool>> notices;
    for (const THealthNotice& n : r.health.TakeNotices()) notices.emplace_back(n.part, n.cleared);
    EXPECT_EQ(notices, c.notices) << c.name;
    EXPECT_TRUE(r.health.TakeNotices().empty()) << c.name;
    const auto& ftp = r.health.Trouble(THealthPart::Ftp);
    EXPECT_EQ(ftp ? ftp->cycles : -1, c.ftpCycles) << c.name;
  }
}

TEST(Health, ATroubleKeepsItsFirstTimeAndItsNewestMessage) {
  Record r;
  Play(r, {"Fd:ファイル item.html を作成できません", "C"});
  const platform::LocalDateTime since = r.health.Trouble(THealthPart::LocalFiles)->since;
  Play(r, {"Fd:ファイル item.html を作成できません", "C", "Fd:ストリームへの\r\n書き込みエラー", "C"});
  const TTrouble& trouble = *r.health.Trouble(THealthPart::LocalFiles);
  EXPECT_EQ(trouble.since.minute, since.minute);
  EXPECT_EQ(trouble.cycles, 3);
  EXPECT_EQ(SjisToUtf8Text(trouble.message), "ストリームへの 書き込みエラー");
  // The same failure again is no new event; another one and the lasting are.
  EXPECT_EQ(r.sunk, (std::vector<std::string>{
                        "2026/12/09 10:01:00 [ファイル] 失敗: ファイル item.html を作成できません",
                        "2026/12/09 10:05:00 [ファイル] 失敗: ストリームへの 書き込みエラー",
                        "2026/12/09 10:06:00 [ファイル] 問題が続いています (3 回目)",
                    }));
}

TEST(Health, PollOrdersAndUploadsAreRecorded) {
  Record r;
  EXPECT_FALSE(r.health.LastPoll());
  EXPECT_EQ(r.health.OrdersToday(), 0);
  r.health.CycleEnded(false);
  EXPECT_FALSE(r.health.LastPollOk());
  r.health.Failed(THealthPart::Mailbox, "Socket Error # 10061 Connection refused.");
  r.health.CycleEnded(true);
  EXPECT_FALSE(r.health.LastPollOk());  // the mailbox could not be opened
  r.health.CycleEnded(true);
  EXPECT_TRUE(r.health.LastPollOk());
  r.now = {2026, 12, 9, 23, 58, 0};
  r.health.OrderTaken();
  r.health.OrderTaken();
  EXPECT_EQ(r.health.OrdersToday(), 2);
  r.health.UploadEnded(false, "553 Could not create file.");
  EXPECT_FALSE(r.health.LastUploadOk());
  EXPECT_EQ(r.health.Trouble(THealthPart::Ftp)->message, "553 Could not create file.");
  r.health.CycleEnded(true);
  r.now = {2026, 12, 10, 0, 1, 0};
  EXPECT_EQ(r.health.OrdersToday(), 0);  // a new day
  r.health.OrderTaken();
  EXPECT_EQ(r.health.OrdersToday(), 1);
  r.health.UploadEnded(true, "");
  r.health.CycleEnded(true);
  EXPECT_TRUE(r.health.LastUploadOk());
  EXPECT_TRUE(r.health.LastPollOk());
  EXPECT_EQ(r.health.LastOrder()->day, 10);
  EXPECT_EQ(r.health.LastUpload()->minute, 1);
  EXPECT_FALSE(r.health.Trouble(THealthPart::Ftp));
  EXPECT_EQ(r.sunk.back(), "2026/12/10 00:01:00 [FTP] ページを公開しました");
  EXPECT_EQ(r.sunk[2], "2026/12/09 23:58:00 注文を受け付けました (今日 2 件目)");  // after the mailbox's failure and the first
}

TEST(Health, TheLastFiftyEventsAreKept) {
  Record r;
  for (int i = 0; i < 60; ++i) {
    r.health.Failed(THealthPart::Mall, "error " + std::to_string(i));
    r.health.CycleEnded(false);
  }
  EXPECT_EQ(r.sunk.size(), 61u);  // 60 failures and the lasting
  ASSERT_EQ(r.health.Events().size(), kHealthEventsKept);
  EXPECT_EQ(SjisToUtf8Text(r.health.Events().front().text), "失敗: error 10");
  EXPECT_EQ(SjisToUtf8Text(r.health.Events().back().text), "失敗: error 59");
}

// Whether the text ends inside a double-byte character.
bool EndsInHalfCharacter(const std::string& sjis) {
  bool lead = false;
  for (unsigned char c : sjis) lead = !lead && ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC));
  return lead;
}

TEST(HealthTip, StateLinesOrTheTroubleWithinTheShellsRoom) {
  struct Case {
    const char* name;
    std::vector<std::string> steps;
    std::string expected;  // UTF-8; "" for the length and cut checks only
  } cases[] = {
      {"nothing yet", {}, "Vendlume\r\n確認 まだ\r\n注文 なし"},
      {"a cycle", {"C"}, "Vendlume\r\n確認 12/09 10:01\r\n注文 なし"},
      {"a failed cycle", {"X"}, "Vendlume\r\n確認 12/09 10:01 失敗\r\n注文 なし"},
      {"a trouble first",
       {"Ff:530 Login incorrect.", "C"},
       "Vendlume\r\nFTP 12/09 10:01 から: 530 Login incorrect.\r\n確認 12/09 10:02\r\n注文 なし"},
      {"a long message is cut", {"Fm:" + std::string(300, 'a'), "C"}, ""},
      {"a Japanese message is cut between characters", {"Fm:" + std::string(1, 'a') + std::string(
          "証明書の有効期限が切れています証明書の有効期限が切れています証明書の有効期限が切れています"), "C"}, ""},
      {"two troubles", {"Fl:" + std::string(40, 'b'), "Fd:" + std::string(40, 'c'), "C"}, ""},
  };
  for (const Case& c : cases) {
    Record r;
    Play(r, c.steps);
    const std::string tip = HealthTip(r.health);
    EXPECT_LE(tip.size(), kHealthTipBytes) << c.name;
    EXPECT_EQ(tip.rfind("Vendlume\r\n", 0), 0u) << c.name;
    EXPECT_FALSE(EndsInHalfCharacter(tip)) << c.name;
    if (!*c.expected.c_str()) {
      // A cut message fills the room to the last byte, or to one short of it before a
      // double-byte character.
      EXPECT_GE(tip.size(), kHealthTipBytes - 1) << c.name;
    } else {
      EXPECT_EQ(SjisToUtf8Text(tip), c.expected) << c.name;
    }
  }
}

TEST(HealthTip, OrdersAndUploadsWhenTheyFit) {
  Record r;
  r.health.OrderTaken();
  r.health.UploadEnded(true, "");
  r.health.CycleEnded(true);
  EXPECT_EQ(SjisToUtf8Text(HealthTip(r.health)),
            "Vendlume\r\n確認 12/09 10:00\r\n注文 12/09 10:00 (今日 1 件)\r\n公開 12/09 10:00");
  r.health.UploadEnded(false, "421 Service not available");
  EXPECT_EQ(SjisToUtf8Text(HealthTip(r.health)),
            "Vendlume\r\nFTP 12/09 10:00 から: 421 Service not available\r\n確認 12/09 10:00\r\n"
            "注文 12/09 10:00 (今日 1 件)");  // the upload's line has no room left
}

TEST(HealthStatus, KeyValueLinesInUtf8) {
  Record r;
  EXPECT_EQ(HealthStatusText(r.health),
            "updated=2026-12-09 10:00:00\nlast_poll=\nlast_poll_ok=\nlast_order=\norders_today=0\n"
            "last_upload=\nlast_upload_ok=\nwarning=0\nmailbox=ok\nftp=ok\nmall=ok\nfiles=ok\n");
  Play(r, {"Fd:ファイル itemsl.csv を作成できません", "C", "Fd:x", "C", "Fd:x", "C"});
  r.health.OrderTaken();
  EXPECT_EQ(HealthStatusText(r.health),
            "updated=2026-12-09 10:06:00\nlast_poll=2026-12-09 10:06:00\nlast_poll_ok=1\n"
            "last_order=2026-12-09 10:06:00\norders_today=1\nlast_upload=\nlast_upload_ok=\nwarning=1\n"
            "mailbox=ok\nftp=ok\nmall=ok\nfiles=trouble\nfiles.since=2026-12-09 10:01:00\nfiles.cycles=3\n"
            "files.message=x\n");
}

TEST(HealthReport, StateEachPartAndTheEventsNewestFirst) {
  Record r;
  EXPECT_EQ(SjisToUtf8Text(HealthReport(r.health)),
            "最終確認: まだありません\r\n最終注文: まだありません\r\n最終公開: まだありません\r\n\r\n"
            "メールボックス: 正常\r\nFTP: 正常\r\nモール: 正常\r\nファイル: 正常\r\n\r\n最近の出来事:\r\n");
  Play(r, {"Fl:HTTP/1.1 503 Service Unavailable", "X"});
  r.health.OrderTaken();
  r.health.UploadEnded(true, "");
  EXPECT_EQ(SjisToUtf8Text(HealthReport(r.health)),
            "最終確認: 2026/12/09 10:02:00 (失敗)\r\n最終注文: 2026/12/09 10:02:00 (今日 1 件)\r\n"
            "最終公開: 2026/12/09 10:02:00 (正常)\r\n\r\n"
            "メールボックス: 正常\r\nFTP: 正常\r\n"
            "モール: 問題あり (2026/12/09 10:01:00 から 1 回) HTTP/1.1 503 Service Unavailable\r\nファイル: 正常\r\n"
            "\r\n最近の出来事:\r\n"
            "2026/12/09 10:02:00 [FTP] ページを公開しました\r\n"
            "2026/12/09 10:02:00 注文を受け付けました (今日 1 件目)\r\n"
            "2026/12/09 10:01:00 [モール] 失敗: HTTP/1.1 503 Service Unavailable\r\n");
}

}  // namespace

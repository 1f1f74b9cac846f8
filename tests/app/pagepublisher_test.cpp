// The page publisher's states without a server: a render that fails is tried again at
// every cycle's end until it succeeds and the page goes up; an upload that fails leaves
// the mark until one succeeds; a start finds the mark, and the upload waits for the FTP
// client while another use holds it. A program that is leaving writes nothing.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "app/pagepublisher.h"
#include "base/logcodes.h"
#include "platform/application.h"
#include "support/testing.h"

namespace {

using testing_support::FileExists;
using testing_support::ReadAll;
using testing_support::ScopedTempDir;

struct PublisherUnderTest {
  PublisherUnderTest() {
    settings.FtpHost = "127.0.0.1";
    settings.FtpPort = 1;  // closed: every upload fails at once
    ftp.InactivityTimeout = 2000;
  }
  TRecentOrders list{DecodeOrderRow("10/24,mug,mug-001,\"\",Tokyo,1200,2,\"-\"")};
  TSettings settings;
  bool houseMachine = false;
  bool leaving = false;
  TNetFTP ftp;
  TClientUse clients;
  std::vector<int> logged;
  TPagePublisher publisher{{list, settings, houseMachine, ftp, clients, [](const char*) {},
                            [this] { return leaving; }, [this](int code) { logged.push_back(code); }, {}, {}}};
};

enum class Event {
  ListChanged,  // then the cycle ends
  EndCycle,
  Publish,
  TakeClient,     // a connection test takes the FTP client
  ReleaseClient,  // and gives it back; pending work runs
  EditPage,       // the page is written by hand between cycles
  Restart,        // the list changes, and the program stops before the cycle's end and starts again
  Leave,          // from now on the program is leaving
};

constexpr const char* kRendered = "<rendered>";  // item.html holds the list's page

struct Step {
  Event event;
  bool ftpHost;      // otherwise "NONE": nothing to upload to counts as published; the host's port is closed
  bool renders;      // the settings' font is a colour; otherwise rendering throws
  std::string page;  // item.html after the step: kRendered, other bytes, "" for no file
  bool stale;        // the web space is behind item.html
  bool marked;       // item.unpublished: the web space is behind the page due
  size_t logged;     // GetCSV failures so far
};

const struct {
  const char* name;
  std::string pageAtStart;
  std::vector<Step> steps;
} kCases[] = {
    {"a failed render is tried at every cycle's end, then the page goes up; the mark is there from the change on", "",
     {{Event::ListChanged, true, false, "", false, true, 1},
      {Event::EndCycle, true, false, "", false, true, 2},
      {Event::EndCycle, true, true, kRendered, true, true, 2},
      // The next cycle uploads without rendering: a page written meanwhile is what goes.
      {Event::EditPage, false, true, "by hand", true, true, 2},
      {Event::EndCycle, false, true, "by hand", false, false, 2}}},
    {"a failed upload is tried again at each cycle's end until one succeeds", "",
     {{Event::ListChanged, true, true, kRendered, true, true, 0},
      {Event::EndCycle, true, true, kRendered, true, true, 0},
      {Event::EndCycle, false, true, kRendered, false, false, 0}}},
    {"a start finds the mark: the page is rendered again and its upload waits for the client", "page",
     {{Event::Restart, false, true, "page", true, true, 0},
      {Event::TakeClient, false, true, "page", true, true, 0},
      {Event::EndCycle, false, true, kRendered, true, true, 0},
      {Event::Publish, false, true, kRendered, true, true, 0},
      {Event::ReleaseClient, false, true, kRendered, false, false, 0}}},
    {"a start without the mark has nothing due", "page", {{Event::EndCycle, true, true, "page", false, false, 0}}},
    {"a program that is leaving neither renders nor uploads", "page",
     {{Event::Restart, false, true, "page", true, true, 0},
      {Event::Leave, false, true, "page", true, true, 0},
      {Event::ListChanged, false, true, "page", true, true, 0},
      {Event::Publish, false, true, "page", true, true, 0}}},
};

TEST(PagePublisher, StatesAndEvents) {
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    ScopedTempDir dir;
    if (!c.pageAtStart.empty()) testing_support::WriteAll(kPageFileName, c.pageAtStart);
    std::optional<PublisherUnderTest> p(std::in_place);
    std::optional<TClientUse::TLease> lease;
    for (const Step& s : c.steps) {
      SCOPED_TRACE(testing::Message() << "step " << &s - c.steps.data() + 1);
      p->settings.Font = s.renders ? "$00FFFFFF" : "not a colour";
      p->settings.FtpHost = s.ftpHost ? "127.0.0.1" : "NONE";
      switch (s.event) {
        case Event::ListChanged:
          p->publisher.ListChanged();
          p->publisher.EndCycle();
          break;
        case Event::EndCycle: p->publisher.EndCycle(); break;
        case Event::Publish: p->publisher.Publish(); break;
        case Event::TakeClient: lease.emplace(p->clients.TryTake(TNetClientKind::Ftp)); break;
        case Event::ReleaseClient:
          lease.reset();
          for (int n = 0; n < 5; ++n) platform::ProcessMessages();
          break;
        case Event::EditPage: testing_support::WriteAll(kPageFileName, s.page); break;
        case Event::Restart:
          p->publisher.ListChanged();
          p.emplace();
          break;
        case Event::Leave: p->leaving = true; break;
      }
      const std::string page = FileExists(kPageFileName) ? ReadAll(kPageFileName) : "";
      EXPECT_EQ(page.find("mug-001") != std::string::npos ? kRendered : page, s.page);
      EXPECT_EQ(p->publisher.Stale(), s.stale);
      EXPECT_EQ(FileExists(kStalePageMarkName), s.marked);
      EXPECT_EQ(p->logged, std::vector<int>(s.logged, kLogGetCsv));
    }
  }
}

}  // namespace

// The page publisher's states without a server, as a table: from the files a start finds,
// each step is one event under the settings of the moment, and after it the table says
// what item.html holds, whether the web space is behind it, whether the mark file says the
// page due is not up yet, and how many failures were logged. A render that fails is tried
// again at every cycle's end; an upload that fails leaves the mark until one succeeds; the
// upload waits for the FTP client while another use holds it; a program that is leaving
// writes nothing.
#include <gtest/gtest.h>

#include <functional>
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
};
enum class Ftp {
  Closed,  // nothing listens: every upload fails at once
  None,    // no host: nothing to upload to counts as published
};

constexpr const char* kRendered = "<rendered>";  // item.html holds the list's page
constexpr const char* kByHand = "by hand";

struct Step {
  Event event;
  Ftp ftp;
  bool renders;      // the settings' font is a colour; otherwise rendering throws
  std::string page;  // item.html after the step: kRendered, other bytes, "" for no file
  bool stale;        // the web space is behind item.html
  bool marked;       // item.unpublished: the web space is behind the page due
  size_t logged;     // GetCSV failures so far
};

struct Case {
  const char* name;
  bool markAtStart;  // item.unpublished left by an earlier run
  std::string pageAtStart;
  std::vector<Step> steps;
  bool leaving = false;
};

const Case kCases[] = {
    {"nothing due: a cycle's end does nothing", false, "",
     {{Event::EndCycle, Ftp::None, true, "", false, false, 0}}},
    {"a failed render is tried at every cycle's end, then the page goes up", false, "",
     // The mark is there from the list's change on: the page is due to change.
     {{Event::ListChanged, Ftp::Closed, false, "", false, true, 1},
      {Event::EndCycle, Ftp::Closed, false, "", false, true, 2},
      {Event::EndCycle, Ftp::Closed, true, kRendered, true, true, 2},
      // The next cycle uploads without rendering: a page written meanwhile is what goes.
      {Event::EditPage, Ftp::None, true, kByHand, true, true, 2},
      {Event::EndCycle, Ftp::None, true, kByHand, false, false, 2},
      {Event::EndCycle, Ftp::None, true, kByHand, false, false, 2}}},
    {"a changed list is rendered and published", false, "",
     {{Event::ListChanged, Ftp::None, true, kRendered, false, false, 0}}},
    {"a failed upload is tried again at each cycle's end until one succeeds", false, "",
     {{Event::ListChanged, Ftp::Closed, true, kRendered, true, true, 0},
      {Event::EndCycle, Ftp::Closed, true, kRendered, true, true, 0},
      {Event::EndCycle, Ftp::None, true, kRendered, false, false, 0}}},
    {"a start finds the mark: the page is rendered again and its upload waits for the client", true, "page",
     {{Event::TakeClient, Ftp::None, true, "page", true, true, 0},
      {Event::EndCycle, Ftp::None, true, kRendered, true, true, 0},
      {Event::Publish, Ftp::None, true, kRendered, true, true, 0},
      {Event::ReleaseClient, Ftp::None, true, kRendered, false, false, 0}}},
    {"a start without the mark has nothing due", false, "page",
     {{Event::EndCycle, Ftp::Closed, true, "page", false, false, 0}}},
    {"a program that is leaving neither renders nor uploads", true, "page",
     {{Event::ListChanged, Ftp::None, true, "page", true, true, 0},
      {Event::Publish, Ftp::None, true, "page", true, true, 0}},
     true},
};

TEST(PagePublisher, StatesAndEvents) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    ScopedTempDir dir;
    if (c.markAtStart) testing_support::WriteAll(kStalePageMarkName, "");
    if (!c.pageAtStart.empty()) testing_support::WriteAll(kPageFileName, c.pageAtStart);
    PublisherUnderTest p;
    p.leaving = c.leaving;
    std::optional<TClientUse::TLease> lease;
    for (size_t i = 0; i < c.steps.size(); ++i) {
      const Step& s = c.steps[i];
      SCOPED_TRACE("step " + std::to_string(i + 1));
      p.settings.Font = s.renders ? "$00FFFFFF" : "not a colour";
      p.settings.FtpHost = s.ftp == Ftp::None ? "NONE" : "127.0.0.1";
      p.settings.FtpPort = 1;
      switch (s.event) {
        case Event::ListChanged:
          p.publisher.ListChanged();
          p.publisher.EndCycle();
          break;
        case Event::EndCycle: p.publisher.EndCycle(); break;
        case Event::Publish: p.publisher.Publish(); break;
        case Event::TakeClient:
          lease.emplace(p.clients.TryTake(TNetClientKind::Ftp));
          ASSERT_TRUE(*lease);
          break;
        case Event::ReleaseClient:
          lease.reset();
          for (int n = 0; n < 5; ++n) platform::ProcessMessages();
          break;
        case Event::EditPage: testing_support::WriteAll(kPageFileName, kByHand); break;
      }
      if (s.page.empty()) {
        EXPECT_FALSE(FileExists(kPageFileName));
      } else if (s.page == kRendered) {
        EXPECT_NE(ReadAll(kPageFileName).find("mug-001"), std::string::npos);
      } else {
        EXPECT_EQ(ReadAll(kPageFileName), s.page);
      }
      EXPECT_EQ(p.publisher.Stale(), s.stale);
      EXPECT_EQ(FileExists(kStalePageMarkName), s.marked);
      EXPECT_EQ(p.logged, std::vector<int>(s.logged, kLogGetCsv));
    }
  }
}

// However the last run stopped, a page it did not get onto the web space is rendered from the
// list and uploaded with the first cycle of the next; a page it did upload is left alone.
TEST(PagePublisher, AStartAfterAnyStopRendersAndUploadsAStalePage) {
  struct Case {
    const char* name;
    std::function<void(PublisherUnderTest&)> lastRun;  // what happened before it stopped
    bool stale;
  };
  const Case cases[] = {
      {"stopped after the list changed, before the cycle's end", [](PublisherUnderTest& p) { p.publisher.ListChanged(); },
       true},
      {"stopped after a render that failed",
       [](PublisherUnderTest& p) {
         p.settings.Font = "not a colour";
         p.publisher.ListChanged();
         p.publisher.EndCycle();
       },
       true},
      {"stopped after an upload that failed",
       [](PublisherUnderTest& p) {
         p.publisher.ListChanged();
         p.publisher.EndCycle();
       },
       true},
      {"the upload went through",
       [](PublisherUnderTest& p) {
         p.settings.FtpHost = "NONE";
         p.publisher.ListChanged();
         p.publisher.EndCycle();
       },
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScopedTempDir dir;
    std::optional<PublisherUnderTest> p(std::in_place);
    c.lastRun(*p);
    testing_support::WriteAll("item.html", "old page");
    EXPECT_EQ(FileExists("item.unpublished"), c.stale);

    p.emplace();
    p->settings.FtpHost = "NONE";
    EXPECT_EQ(p->publisher.Stale(), c.stale);
    p->publisher.EndCycle();
    EXPECT_EQ(ReadAll("item.html").find("mug-001") != std::string::npos, c.stale);
    EXPECT_FALSE(p->publisher.Stale());
    EXPECT_FALSE(FileExists("item.unpublished"));
  }
}

}  // namespace

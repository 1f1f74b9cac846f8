// The page publisher's states without a server: a render that fails is tried again at
// every cycle's end until it succeeds and the page goes up; an upload that fails leaves
// the mark until one succeeds; a start finds the mark, and the upload waits for the FTP
// client while another use holds it. A program that is leaving renders nothing.
#include <gtest/gtest.h>

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

TEST(PagePublisher, AFailedRenderIsTriedAgainAtEveryCycleEndThenThePageGoesUp) {
  ScopedTempDir dir;
  PublisherUnderTest p;
  p.settings.Font = "not a colour";
  p.publisher.ListChanged();
  p.publisher.EndCycle();
  p.publisher.EndCycle();
  EXPECT_EQ(p.logged, (std::vector<int>{kLogGetCsv, kLogGetCsv}));
  EXPECT_FALSE(FileExists("item.html"));
  EXPECT_TRUE(FileExists("item.unpublished"));  // from the change on

  p.settings.Font = "$00FFFFFF";
  p.publisher.EndCycle();
  EXPECT_NE(ReadAll("item.html").find("mug-001"), std::string::npos);
  EXPECT_TRUE(p.publisher.Stale());  // the upload failed
  EXPECT_TRUE(FileExists("item.unpublished"));

  // The next cycle uploads without rendering: a page written meanwhile is what goes.
  testing_support::WriteAll("item.html", "by hand");
  p.settings.FtpHost = "NONE";  // nothing to upload to counts as published
  p.publisher.EndCycle();
  EXPECT_EQ(ReadAll("item.html"), "by hand");
  EXPECT_FALSE(p.publisher.Stale());
  EXPECT_FALSE(FileExists("item.unpublished"));
  EXPECT_EQ(p.logged.size(), 2u);
}

TEST(PagePublisher, AStartFindsTheMarkAndTheUploadWaitsForTheClient) {
  ScopedTempDir dir;
  testing_support::WriteAll("item.unpublished", "");
  testing_support::WriteAll("item.html", "page");
  PublisherUnderTest p;
  EXPECT_TRUE(p.publisher.Stale());
  p.settings.FtpHost = "NONE";
  {
    auto test = p.clients.TryTake(TNetClientKind::Ftp);
    p.publisher.EndCycle();
    EXPECT_NE(ReadAll("item.html").find("mug-001"), std::string::npos);  // rendered again
    p.publisher.Publish();
    EXPECT_TRUE(p.publisher.Stale());
    EXPECT_TRUE(FileExists("item.unpublished"));
  }
  for (int i = 0; i < 5; ++i) platform::ProcessMessages();
  EXPECT_FALSE(p.publisher.Stale());
  EXPECT_FALSE(FileExists("item.unpublished"));
}

TEST(PagePublisher, WithoutTheMarkNothingIsDueAndALeavingProgramRendersNothing) {
  ScopedTempDir dir;
  testing_support::WriteAll("item.html", "page");
  PublisherUnderTest p;
  p.publisher.EndCycle();
  EXPECT_FALSE(p.publisher.Stale());
  p.leaving = true;
  p.publisher.ListChanged();
  p.publisher.EndCycle();
  EXPECT_EQ(ReadAll("item.html"), "page");
  EXPECT_TRUE(FileExists("item.unpublished"));  // the next start publishes
}

}  // namespace

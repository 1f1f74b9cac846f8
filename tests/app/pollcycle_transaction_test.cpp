// One mail, one transaction, through the real POP3 client: the client's limits make a mail
// that can never be taken, and a refused RETR drops the session without "Quit". The rules
// themselves, case by case, are in mailintake_test.cpp.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include "app/form1.h"
#include "intake/mailjournal.h"
#include "net/tcpconnection.h"
#include "support/dovecot_mailbox.h"
#include "support/order_mail.h"
#include "support/scripted_server.h"
#include "support/testing.h"

namespace {

namespace fs = std::filesystem;
using testing_support::DovecotMailbox;
using testing_support::OrderMail;
using testing_support::ReadAll;
using testing_support::ScopedTempDir;

const std::string kNoMall =
    "[Mall]\r\nSearchHost=127.0.0.1:1\r\nThumbnailHost=127.0.0.1:1\r\nScriptHost=127.0.0.1:1\r\n";

size_t FilesIn(const std::string& folder) {
  size_t n = 0;
  std::error_code error;
  for ([[maybe_unused]] auto& e : fs::directory_iterator(folder, error)) ++n;
  return n;
}

class Transaction : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    ASSERT_TRUE(box.Load(why)) << why;
    box.Clear();
    testing_support::WriteAll("Vendlume.ini", "[POP3]\r\nHost=127.0.0.1\r\nUser=" + box.User + "\r\nPass=" +
                                                  box.Password + "\r\nPort=" + std::to_string(box.Port) +
                                                  "\r\n" + kNoMall);
  }

  size_t MailsLeft(size_t expected) {
    size_t n = 0;
    for (int attempt = 0; attempt < 50; ++attempt) {
      n = FilesIn(box.Maildir + "/new") + FilesIn(box.Maildir + "/cur");
      if (n == expected) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return n;
  }

  ScopedTempDir dir;
  DovecotMailbox box;
};

TEST_F(Transaction, AMailThatCanNeverBeTakenIsKeptInFailedDeletedAndLoggedAndTheNextIsTaken) {
  const std::string head = "From: shop@example.com\r\nSubject: unusable\r\nMIME-Version: 1.0\r\n";
  const std::string line = std::string(1022, 'x') + "\r\n";
  std::string overSize = head + "\r\n";
  while (overSize.size() <= kMaxMessageSize) overSize += line;
  struct Case {
    const char* name;
    std::string mail;
    size_t kept;  // bytes of the mail's start kept in failed/
  };
  const Case cases[] = {
      // Over a limit, the client ends the connection: what it has read is kept, at most
      // a MiB of it (here the header and its empty line).
      {"over the line limit", head + "\r\n" + std::string(kMaxLineLength + 1, 'x') + "\r\n", head.size() + 2},
      {"over the size limit", overSize, kFailedHeadBytes},
      {"no text to read an order from",
       head + "Content-Type: application/octet-stream; name=\"a.bin\"\r\n"
              "Content-Transfer-Encoding: base64\r\n\r\nAAECAw==\r\n",
       std::string::npos},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScopedTempDir caseDir;
    testing_support::WriteAll("Vendlume.ini", ReadAll(dir.path() + "/Vendlume.ini"));
    box.Clear();
    box.Put(c.mail);
    box.Put(OrderMail("2016-10-24 09:05:33", "mug-001"));
    TForm1 form;
    form.HouseMachine = true;
    form.PollMailbox();
    EXPECT_EQ(MailsLeft(1), 1u);
    EXPECT_TRUE(form.RecentOrders.empty());
    form.PollMailbox();
    EXPECT_EQ(MailsLeft(0), 0u);
    EXPECT_EQ(form.RecentOrders.size(), 1u);
    const std::string log = ReadAll("Vendlume.log");  // the good mail's lookups fail: "GetGZ"
    size_t failures = 0;
    for (size_t at = log.find(" - GetCSV\r\n"); at != std::string::npos; at = log.find(" - GetCSV\r\n", at + 1)) ++failures;
    EXPECT_EQ(failures, 1u) << log;
    ASSERT_EQ(FilesIn("failed"), 1u);
    const std::string kept = ReadAll(fs::directory_iterator("failed")->path().string());
    const size_t want = std::min(c.kept, c.mail.size());
    EXPECT_EQ(kept.size(), want);
    EXPECT_TRUE(c.mail.compare(0, want, kept) == 0);
  }
}

TEST(TransactionEdges, RetrAnsweredWithAnErrorLeavesTheMailAndCommitsNothing) {
  ScopedTempDir dir;
  testing_support::ScriptedServer server;
  server.Send("+OK ready\r\n").Expect("USER u").Send("+OK\r\n").Expect("PASS p").Send("+OK\r\n")
      .Expect("STAT").Send("+OK 1 300\r\n").Expect("RETR 1").Send("-ERR message is locked\r\n")
      .HoldUntilClientCloses();
  server.Start();
  testing_support::WriteAll("Vendlume.ini", "[POP3]\r\nHost=127.0.0.1\r\nUser=u\r\nPass=p\r\nPort=" +
                                                std::to_string(server.Port()) + "\r\n" + kNoMall);
  TForm1 form;
  form.HouseMachine = true;
  form.PollMailbox();
  server.Join();
  for (const std::string& line : server.Lines()) {
    EXPECT_NE(line.rfind("DELE", 0), 0u) << line;
    EXPECT_NE(line, "Quit");
  }
  EXPECT_NE(ReadAll("Vendlume.log").find(" - GetCSV\r\n"), std::string::npos);
  EXPECT_FALSE(form.NetPOP31->IsOpen());
  EXPECT_EQ(form.Timer1.Interval(), 15000);
}

}  // namespace

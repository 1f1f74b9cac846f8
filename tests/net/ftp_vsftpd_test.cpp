// The FTP client against a real server: the private vsftpd instance CTest starts
// (scripts/servers/vsftpd). What arrived is read back from the server's folder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "net/ftp.h"
#include "base/netexceptions.h"
#include "support/server_env.h"
#include "support/testing.h"
#include "thrown.h"

using testing_support::ReadAll;
using testing_support::ScopedTempDir;
using testing_support::WriteAll;

namespace fs = std::filesystem;

namespace {

using FtpServer = testing_support::FtpAccount;

// Bytes of every value, CR LF and lone LF among them: any text-mode conversion shows.
std::string Payload(size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  if (size > 8) bytes.replace(size / 2, 5, "\r\n\n\r\n");
  return bytes;
}

class Vsftpd : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    ASSERT_TRUE(server.Load(why)) << why;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(server.Home, ec)) fs::remove(entry.path(), ec);
    ftp.Host = "127.0.0.1";
    ftp.Port = server.Port;
    ftp.User = server.User;
    ftp.Password = server.Password;
    ftp.Passive = true;
    ftp.InactivityTimeout = 20000;
  }
  void TearDown() override { ftp.CloseConnection(); }

  std::string Arrived(const std::string& name) { return ReadAll(server.Home + "/" + name); }
  void Upload(const std::string& bytes, const std::string& name, bool append = false) {
    std::istringstream stream(bytes);
    ftp.UploadStream(stream, name, append);
  }

  FtpServer server;
  TNetFTP ftp;
};

TEST_F(Vsftpd, PassiveUploadsArriveByteForByte) {
  ScopedTempDir dir;
  int connected = 0, workEnds = 0;
  ftp.OnConnected = [&](TNetComponent*) { ++connected; };
  ftp.OnWorkEnd = [&](TNetComponent*, TWorkMode) { ++workEnds; };
  ftp.OpenAndLogIn(true);
  EXPECT_EQ(connected, 1);
  EXPECT_EQ(ftp.SystemDescription(), " UNIX Type: L8");

  const std::map<std::string, std::string> files = {
      {"empty.html", ""}, {"small.html", Payload(1500, 1)}, {"big.bin", Payload(10 << 20, 2)}};
  for (const auto& [name, bytes] : files) {
    WriteAll(name, bytes);
    ftp.UploadFile(name, name, false);
  }
  EXPECT_EQ(workEnds, 3);
  for (const auto& [name, bytes] : files) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(fs::exists(server.Home + "/" + name));
    EXPECT_TRUE(Arrived(name) == bytes) << Arrived(name).size() << " bytes of " << bytes.size();
  }
}

TEST_F(Vsftpd, StoreReplacesAndAppendAdds) {
  ftp.OpenAndLogIn(true);
  Upload("first version, the longer one", "Recent.html");
  Upload("second", "Recent.html");
  EXPECT_EQ(Arrived("Recent.html"), "second");
  Upload(" and more", "Recent.html", true);
  EXPECT_EQ(Arrived("Recent.html"), "second and more");
  Upload("fresh", "new.log", true);  // appending to nothing creates the file
  EXPECT_EQ(Arrived("new.log"), "fresh");
}

TEST_F(Vsftpd, EmptyNameStoresUnderANameTheServerPicks) {
  ftp.OpenAndLogIn(true);
  Upload("unique", "");
  int files = 0;
  std::string content;
  for (const auto& entry : fs::directory_iterator(server.Home)) {
    ++files;
    content = ReadAll(entry.path().string());
  }
  EXPECT_EQ(files, 1);
  EXPECT_EQ(content, "unique");
}

TEST_F(Vsftpd, ActiveModeUpload) {
  ftp.Passive = false;
  ftp.OpenAndLogIn(true);
  const std::string bytes = Payload(300000, 3);
  Upload(bytes, "active.bin");
  EXPECT_TRUE(Arrived("active.bin") == bytes);
  EXPECT_EQ(ftp.TransferConnection(), nullptr);
}

TEST_F(Vsftpd, WrongPasswordFailsAndClosesThenLoginWorks) {
  ftp.Password = "wrong";
  auto e = Thrown<ENetProtocolReplyError>([&] { ftp.OpenAndLogIn(true); });
  ASSERT_TRUE(e);
  EXPECT_EQ(e->ReplyNumber, 530);
  EXPECT_FALSE(ftp.IsOpen());
  ftp.Password = server.Password;
  ftp.OpenAndLogIn(true);
  EXPECT_TRUE(ftp.IsOpen());
}

TEST_F(Vsftpd, RefusedStoreLeavesTheSessionUsable) {
  ftp.OpenAndLogIn(true);
  auto e = Thrown<ENetProtocolReplyError>([&] { Upload("x", "no-such-folder/page.html"); });
  ASSERT_TRUE(e);
  EXPECT_EQ(e->ReplyNumber, 553);
  EXPECT_TRUE(ftp.IsOpen());
  Upload("after", "page.html");
  EXPECT_EQ(Arrived("page.html"), "after");
}

}  // namespace

namespace {

// The commands the server logged for the session that stored the file named marker: the
// session is known by the pid of the server process that took the STOR.
std::vector<std::string> SessionCommands(const std::string& log, const std::string& marker) {
  std::vector<std::string> lines;
  std::istringstream in(log);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  std::string pid;
  for (const std::string& line : lines) {
    if (line.find("FTP command:") != std::string::npos && line.find("\"STOR " + marker + "\"") != std::string::npos)
      pid = line.substr(line.find("[pid "), line.find(']', line.find("[pid ")) + 1 - line.find("[pid "));
  }
  std::vector<std::string> commands;
  if (pid.empty()) return commands;
  for (const std::string& line : lines) {
    const size_t at = line.find("FTP command: ");
    if (at == std::string::npos || line.find(pid) == std::string::npos) continue;
    const size_t quote = line.rfind(", \"");
    commands.push_back(line.substr(quote + 3, line.size() - quote - 4));
  }
  return commands;
}

// The server sees QUIT at the end of every session, after a stored file and after a refused
// one alike.
TEST_F(Vsftpd, EverySessionEndsWithQuit) {
  const struct {
    const char* what;
    const char* name;
    bool stored;
  } cases[] = {
      {"stored", "quit-stored.html", true},
      {"refused", "no-such-folder/quit-refused.html", false},
  };
  ASSERT_FALSE(server.Log.empty());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ftp.OpenAndLogIn(true);
    if (c.stored) {
      Upload("<html></html>", c.name);
    } else {
      EXPECT_TRUE(Thrown<ENetProtocolReplyError>([&] { Upload("<html></html>", c.name); }));
    }
    ftp.CloseConnection();
    const std::vector<std::string> commands = SessionCommands(ReadAll(server.Log), c.name);
    ASSERT_FALSE(commands.empty()) << "no session stored " << c.name;
    EXPECT_EQ(commands.back(), "QUIT");
  }
}

}  // namespace

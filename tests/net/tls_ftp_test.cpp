// FTP over TLS against the private vsftpd pair (scripts/servers/vsftpd-tls): "AUTH TLS"
// with "PROT P" on a server that refuses clear logins and transfers and wants each data
// connection to reuse the control connection's TLS session, and implicit FTPS.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <sstream>

#include "base/netexceptions.h"
#include "net/ftp.h"
#include "support/scripted_server.h"
#include "support/server_env.h"
#include "support/test_ca.h"
#include "support/testing.h"
#include "thrown.h"

namespace fs = std::filesystem;

namespace {

class TlsVsftpd : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    ASSERT_TRUE(testing_support::ReadServerEnv("vsftpd-tls/ftp.env", env, why)) << why;
    ASSERT_TRUE(testing_support::TrustTestCa(env["CA_FILE"], why)) << why;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(env["HOME"], ec)) fs::remove(entry.path(), ec);
  }

  void Configure(TNetFTP& ftp, TNetTLSMode mode, const char* port = nullptr) {
    ftp.Host = "localhost";  // Wine's SChannel matches only names against the certificate
    if (!port) port = mode == tlsImplicit ? "TLS_PORT" : "PORT";
    ftp.Port = std::atoi(env[port].c_str());
    ftp.User = env["USER"];
    ftp.Password = env["PASSWORD"];
    ftp.Passive = true;
    ftp.UseTLS = mode;
    ftp.InactivityTimeout = 20000;
  }

  std::map<std::string, std::string> env;
};

TEST_F(TlsVsftpd, UploadsArriveWholeOverBothKindsOfTls) {
  std::mt19937 random(7);
  std::string payload(300000, '\0');
  for (char& c : payload) c = static_cast<char>(random());
  const struct {
    TNetTLSMode mode;
    const char* port;
    bool reuseRequired;
  } servers[] = {{tlsExplicit, "PORT", true},
                 {tlsImplicit, "TLS_PORT", true},
                 {tlsExplicit, "ANY_SESSION_PORT", false}};
  for (const auto& server : servers) {
    SCOPED_TRACE(server.port);
#ifdef _WIN32
    // Wine's SChannel keeps no session cache, so a data connection cannot resume the
    // control connection's session, and a server that demands it answers "522 SSL
    // connection failed: session reuse required". Windows' own SChannel resumes.
    if (server.reuseRequired) continue;
#endif
    TNetFTP ftp;
    Configure(ftp, server.mode, server.port);
    ftp.OpenAndLogIn();
    EXPECT_TRUE(ftp.Secure());
    // Two uploads on one login: each data connection offers the session again.
    for (const char* name : {"first.bin", "second.bin"}) {
      std::istringstream stream(payload);
      ftp.UploadStream(stream, name);
      EXPECT_EQ(testing_support::ReadAll(env["HOME"] + "/" + name), payload) << name;
    }
    std::istringstream empty("");
    ftp.UploadStream(empty, "empty.html");
    EXPECT_EQ(fs::file_size(env["HOME"] + "/empty.html"), 0u);
    ftp.CloseConnection();
  }
}

TEST_F(TlsVsftpd, TheServerRefusesTheLoginInClear) {
  TNetFTP ftp;
  Configure(ftp, tlsNone);
  auto e = Thrown<ENetProtocolReplyError>([&] { ftp.OpenAndLogIn(); });
  ASSERT_TRUE(e);
  EXPECT_EQ(e->ReplyNumber, 530);
}

TEST_F(TlsVsftpd, ActiveModeIsNotOfferedOverTls) {
  TNetFTP ftp;
  Configure(ftp, tlsExplicit);
  ftp.Passive = false;
  ftp.OpenAndLogIn();
  std::istringstream stream("page");
  EXPECT_TRUE(Thrown<ENetTLSError>([&] { ftp.UploadStream(stream, "active.html"); }));
  EXPECT_FALSE(fs::exists(env["HOME"] + "/active.html"));
  ftp.CloseConnection();
}

TEST_F(TlsVsftpd, AnotherCertificatesPinOrAnotherNameIsRefused) {
  // The pin of another certificate, then no pin and a name the certificate lacks.
  TNetFTP ftp;
  Configure(ftp, tlsExplicit);
  ftp.TLSFingerprint = env["SHA256_EXPIRED"];
  auto pinned = Thrown<ENetCertificateError>([&] { ftp.OpenAndLogIn(); });
  ASSERT_TRUE(pinned);
  EXPECT_NE(std::string(pinned->what()).find("pinned fingerprint"), std::string::npos);
  ftp.TLSFingerprint.clear();
  ftp.TLSHostName = "ftp.example";
  auto named = Thrown<ENetCertificateError>([&] { ftp.OpenAndLogIn(); });
  ASSERT_TRUE(named);
  EXPECT_NE(std::string(named->what()).find("name mismatch"), std::string::npos);
  EXPECT_FALSE(ftp.IsOpen());
}

TEST(FtpAuthTls, AServerWithoutAuthTlsNeverGetsTheLogin) {
  testing_support::ScriptedServer s;
  s.Send("220 ready\r\n")
      .Expect("AUTH TLS")
      .Send("500 AUTH not understood\r\n")
      .Expect("QUIT")
      .Send("221 Goodbye.\r\n")
      .HoldUntilClientCloses();
  s.Start();
  TNetFTP ftp;
  ftp.Host = "127.0.0.1";
  ftp.Port = s.Port();
  ftp.User = "web";
  ftp.Password = "secret";
  ftp.UseTLS = tlsExplicit;
  auto e = Thrown<ENetTLSError>([&] { ftp.OpenAndLogIn(); });
  s.Join();
  ASSERT_TRUE(e);
  EXPECT_NE(std::string(e->what()).find("does not offer AUTH TLS"), std::string::npos) << e->what();
  EXPECT_FALSE(ftp.IsOpen());
  EXPECT_EQ(s.Lines(), (std::vector<std::string>{"AUTH TLS", "QUIT"}));
  EXPECT_EQ(s.Received().find("secret"), std::string::npos);
}

}  // namespace

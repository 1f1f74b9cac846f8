// POP3 over TLS against the private dovecot that takes no password in clear (ssl =
// required, scripts/servers/dovecot-tls), and the STLS exchange's edge cases against a
// scripted server.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <map>
#include <string>
#include <utility>

#include "base/netexceptions.h"
#include "mail/message.h"
#include "net/idlepump.h"
#include "net/pop3.h"
#include "support/scripted_server.h"
#include "support/server_env.h"
#include "support/test_ca.h"
#include "support/dovecot_mailbox.h"
#include "thrown.h"

using testing_support::ScriptedServer;

namespace {

class TlsDovecot : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    ASSERT_TRUE(testing_support::ReadServerEnv("dovecot-tls/pop3.env", env, why)) << why;
    ASSERT_TRUE(testing_support::TrustTestCa(env["CA_FILE"], why)) << why;
    box.Maildir = env["MAILDIR"];
    box.Clear();
    // As in the program, an idle pump runs: the certificate is then judged on a thread of
    // its own while the pump keeps running.
    pump.IdleTimeOut = 1;
    pump.ProcessMessages = [](bool) {};
  }

  void Configure(TNetPOP3& pop, TNetTLSMode mode) {
    // A name, not an address: Wine's SChannel matches only names against the certificate.
    pop.Host = "localhost";
    // dovecot counts a connection from its own address as secure and would take the
    // password in clear: coming from another loopback address makes TLS necessary.
    pop.BoundIP = "127.0.0.2";
    pop.Port = std::atoi(env[mode == tlsImplicit ? "TLS_PORT" : "PORT"].c_str());
    pop.UserId = env["USER"];
    pop.Password = env["PASSWORD"];
    pop.UseTLS = mode;
    pop.InactivityTimeout = 10000;
  }

  std::map<std::string, std::string> env;
  testing_support::DovecotMailbox box;
  TNetIdlePump pump;
};

TEST_F(TlsDovecot, BothWaysLogInCountAndRetrieveOverTls) {
  for (TNetTLSMode mode : {tlsImplicit, tlsExplicit}) {
    SCOPED_TRACE(mode == tlsImplicit ? "implicit" : "STLS");
    box.Clear();
    box.Put("Subject: over TLS\r\n\r\nline one\r\n..dot\r\n");
    TNetPOP3 pop;
    Configure(pop, mode);
    pop.OpenConnection();
    EXPECT_TRUE(pop.Secure());
    EXPECT_EQ(pop.CountMessages(), 1);
    TNetMessage message;
    ASSERT_TRUE(pop.RetrieveMessage(1, message));
    EXPECT_EQ(message.Subject, "over TLS");
    pop.CloseConnection();
    EXPECT_FALSE(pop.IsOpen());
  }
}

TEST_F(TlsDovecot, TheServerRefusesTheLoginInClear) {
  // The proof that the tests above really needed TLS.
  TNetPOP3 pop;
  Configure(pop, tlsNone);
  auto e = Thrown<ENetProtocolReplyError>([&] { pop.OpenConnection(); });
  ASSERT_TRUE(e);
  EXPECT_EQ(e->ReplyNumber, 0);
}

TEST_F(TlsDovecot, PinnedFingerprintDecidesAlone) {
  struct Case {
    const char* name;
    std::string pin;
    std::string hostName;
    bool accepted;
  } cases[] = {
      // The right pin accepts even under a name the certificate does not carry.
      {"matching pin, other name", env["SHA256_SERVER"], "mail.example", true},
      {"matching pin, lower case without colons", [&] {
         std::string pin;
         for (char c : env["SHA256_SERVER"])
           if (c != ':') pin += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
         return pin;
       }(), "", true},
      {"another certificate's pin", env["SHA256_SELFSIGNED"], "", false},
      {"not a fingerprint", "C6:75", "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TNetPOP3 pop;
    Configure(pop, tlsImplicit);
    pop.TLSFingerprint = c.pin;
    pop.TLSHostName = c.hostName;
    auto e = Thrown<ENetCertificateError>([&] { pop.OpenConnection(); });
    EXPECT_EQ(!e, c.accepted);
    if (e) {
      EXPECT_NE(std::string(e->what()).find("pinned fingerprint"), std::string::npos) << e->what();
      EXPECT_FALSE(pop.IsOpen());
    } else {
      EXPECT_EQ(pop.CountMessages(), 0);
      pop.CloseConnection();
    }
  }
}

TEST_F(TlsDovecot, ACertificateForAnotherNameIsRefused) {
  TNetPOP3 pop;
  Configure(pop, tlsExplicit);
  pop.TLSHostName = "mail.example";
  auto e = Thrown<ENetCertificateError>([&] { pop.OpenConnection(); });
  ASSERT_TRUE(e);
  EXPECT_NE(std::string(e->what()).find("name mismatch"), std::string::npos) << e->what();
  EXPECT_FALSE(pop.IsOpen());
}

// The client pointed at a scripted server, with TLS as asked.
void OnScripted(TNetPOP3& pop, ScriptedServer& server, TNetTLSMode mode) {
  pop.Host = "127.0.0.1";
  pop.Port = server.Port();
  pop.UseTLS = mode;
}

TEST(Pop3Stls, AServerWithoutStlsNeverGetsThePassword) {
  ScriptedServer s;
  s.Send("+OK ready\r\n").Expect("STLS").Send("-ERR unknown command\r\n").ReadLine();
  s.Start();
  TNetPOP3 pop;
  OnScripted(pop, s, tlsExplicit);
  pop.UserId = "shop";
  pop.Password = "secret";
  auto e = Thrown<ENetTLSError>([&] { pop.OpenConnection(); });
  s.Join();
  ASSERT_TRUE(e);
  EXPECT_NE(std::string(e->what()).find("does not offer STLS"), std::string::npos) << e->what();
  EXPECT_EQ(s.Lines(), (std::vector<std::string>{"STLS", "Quit"}));
  EXPECT_EQ(s.Received().find("secret"), std::string::npos);
}

TEST(Pop3Stls, AnswersSentAheadOfTheHandshakeAreRefused) {
  // A second line behind "+OK" would be read as the first answer after the handshake.
  ScriptedServer s;
  s.Send("+OK ready\r\n").Expect("STLS").Send("+OK begin\r\n+OK injected\r\n").HoldUntilClientCloses();
  s.Start();
  TNetPOP3 pop;
  OnScripted(pop, s, tlsExplicit);
  auto e = Thrown<ENetTLSError>([&] { pop.OpenConnection(); });
  ASSERT_TRUE(e);
  EXPECT_NE(std::string(e->what()).find("before the handshake"), std::string::npos) << e->what();
  EXPECT_FALSE(pop.IsOpen());
}

TEST(Pop3Stls, AHandshakeThatStallsEndsAtTheInactivityLimit) {
  for (TNetTLSMode mode : {tlsImplicit, tlsExplicit}) {
    ScriptedServer s;
    if (mode == tlsExplicit) s.Send("+OK ready\r\n").Expect("STLS").Send("+OK begin\r\n");
    s.HoldUntilClientCloses();
    s.Start();
    TNetPOP3 pop;
    OnScripted(pop, s, mode);
    pop.InactivityTimeout = 300;
    auto e = Thrown<ENetSocketError>([&] { pop.OpenConnection(); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->Code, 10060);
    EXPECT_FALSE(pop.IsOpen());
  }
}

// The server name in a TLS client hello (the first record the client sends): "" when the
// hello names none, "?" when the bytes are no complete hello.
std::string HelloServerName(const std::string& bytes) {
  auto byte = [&](size_t at) { return at < bytes.size() ? static_cast<unsigned char>(bytes[at]) : 0u; };
  auto word = [&](size_t at) { return byte(at) << 8 | byte(at + 1); };
  if (byte(0) != 0x16 || byte(5) != 0x01 || bytes.size() < 5 + word(3)) return "?";
  size_t at = 5 + 4 + 2 + 32;               // record and handshake headers, version, random
  at += 1 + byte(at);                       // session id
  at += 2 + word(at);                       // cipher suites
  at += 1 + byte(at);                       // compression methods
  const size_t end = at + 2 + word(at);     // the extensions
  for (at += 2; at + 4 <= end; at += 4 + word(at + 2)) {
    if (word(at) != 0) continue;            // not server_name
    const size_t name = at + 4 + 2 + 1;     // list length, name type
    return bytes.substr(name + 2, word(name));
  }
  return end <= bytes.size() ? "" : "?";
}

TEST(Pop3Tls, TheHelloNamesAHostNameNeverAnAddress) {
  const std::pair<const char*, const char*> cases[] = {{"localhost", "localhost"}, {"127.0.0.1", ""}, {"::1", ""}};
  for (const auto& [host, named] : cases) {
    SCOPED_TRACE(host);
    ScriptedServer s(std::string(host) == "::1" ? "::1" : "127.0.0.1");
    s.HoldUntilClientCloses();
    s.Start();
    TNetPOP3 pop;
    pop.Host = host;
    pop.Port = s.Port();
    pop.UseTLS = tlsImplicit;
    pop.InactivityTimeout = 300;
    EXPECT_TRUE(Thrown<ENetSocketError>([&] { pop.OpenConnection(); }));
    s.Join();
    EXPECT_EQ(HelloServerName(s.Received()), named);
  }
}

}  // namespace

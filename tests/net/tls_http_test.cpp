// HTTPS in both HTTP clients against the private nginx with TLS (scripts/servers/nginx-tls):
// pages over TLS, a redirect from http to https, and the certificates a client must refuse;
// a server that stalls in the handshake is a scripted one.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>

#include "base/netexceptions.h"
#include "net/http.h"
#include "net/pagefetch.h"
#include "support/scripted_server.h"
#include "support/server_env.h"
#include "support/test_ca.h"
#include "support/testing.h"
#include "thrown.h"

namespace {

class TlsNginx : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    ASSERT_TRUE(testing_support::ReadServerEnv("nginx-tls/https.env", env, why)) << why;
    ASSERT_TRUE(testing_support::TrustTestCa(env["CA_FILE"], why)) << why;
  }
  std::string Url(const std::string& scheme, const char* port, const std::string& path) {
    // A name, not an address: Wine's SChannel matches only names against the certificate.
    return scheme + "://localhost:" + env[port] + path;
  }
  void Put(const std::string& path, const std::string& bytes) {
    std::filesystem::create_directories(env["DOCROOT"] + "/pages");
    testing_support::WriteAll(env["DOCROOT"] + path, bytes);
  }

  std::map<std::string, std::string> env;
};

TEST_F(TlsNginx, BothClientsFetchOverHttpsAndFollowTheRedirectToIt) {
  std::mt19937 random(3);
  std::string page(2'000'000, '\0');
  for (char& c : page) c = static_cast<char>(random());
  Put("/pages/big.bin", page);
  for (const char* port : {"HTTPS_PORT", "HTTP_PORT"}) {
    const std::string url = Url(port == std::string("HTTPS_PORT") ? "https" : "http", port,
                                "/pages/big.bin");
    SCOPED_TRACE(url);
    TNetHTTP http;
    http.HandleRedirects = true;
    http.InactivityTimeout = 10000;
    EXPECT_EQ(FetchPage(http, url), page);
    EXPECT_EQ(http.StatusCode, 200);
    TNetPageHTTP pageHttp;
    EXPECT_EQ(FetchPage(pageHttp, url), page);
  }
}

TEST_F(TlsNginx, OneClientGoesBetweenHttpsAndThePlainRedirect) {
  // Each address gets the connection its scheme wants: the plain one of the redirect is
  // never used for the https address, nor an encrypted one for the plain address.
  TNetHTTP http;
  http.HandleRedirects = true;
  // The Host field names the port, which is not the scheme's.
  const std::string host = "localhost:" + env["HTTPS_PORT"];
  EXPECT_EQ(FetchPage(http, Url("https", "HTTPS_PORT", "/echo")), "GET /echo " + host + " https\n");
  EXPECT_TRUE(http.Secure());
  EXPECT_EQ(FetchPage(http, Url("http", "HTTP_PORT", "/echo?x")), "GET /echo?x " + host + " https\n");
  EXPECT_EQ(FetchPage(http, Url("HTTPS", "HTTPS_PORT", "/echo")), "GET /echo " + host + " https\n");
}

TEST_F(TlsNginx, RefusedCertificatesSayWhy) {
  struct Case {
    const char* port;
    std::string pin;
    const char* message;  // empty: accepted
  } cases[] = {
      {"WRONGNAME_PORT", "", "name mismatch"},
      {"EXPIRED_PORT", "", "has expired"},
      {"SELFSIGNED_PORT", "", "is not trusted"},
      {"SELFSIGNED_PORT", env["SHA256_SELFSIGNED"], ""},
      {"HTTPS_PORT", env["SHA256_SELFSIGNED"], "pinned fingerprint"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.port) + " pin " + c.pin);
    TNetHTTP http;
    http.TLSFingerprint = c.pin;
    std::string body;
    auto e = Thrown<ENetCertificateError>([&] { body = FetchPage(http, Url("https", c.port, "/echo")); });
    if (*c.message) {
      ASSERT_TRUE(e);
      EXPECT_NE(std::string(e->what()).find(c.message), std::string::npos) << e->what();
      EXPECT_FALSE(http.IsOpen());
    } else {
      EXPECT_FALSE(e) << e->what();
      EXPECT_EQ(body.substr(0, 9), "GET /echo");
    }
  }
  // The second fetcher refuses the same way.
  TNetPageHTTP page;
  EXPECT_TRUE(Thrown<ENetCertificateError>([&] { page.Get(Url("https", "EXPIRED_PORT", "/echo")); }));
}

TEST(Https, AServerThatStallsInTheHandshakeEndsAtTheInactivityLimit) {
  testing_support::ScriptedServer s;
  s.HoldUntilClientCloses();
  s.Start();
  TNetHTTP http;
  http.InactivityTimeout = 300;
  auto e = Thrown<ENetSocketError>(
      [&] { FetchPage(http, "https://127.0.0.1:" + std::to_string(s.Port()) + "/"); });
  ASSERT_TRUE(e);
  EXPECT_EQ(e->Code, 10060);
  EXPECT_FALSE(http.IsOpen());
}

}  // namespace

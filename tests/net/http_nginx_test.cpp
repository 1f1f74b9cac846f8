// Both HTTP clients against a real server: the private nginx instance CTest starts
// (scripts/servers/nginx), with pages the tests put into its docroot.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "net/http.h"
#include "base/netexceptions.h"
#include "net/pagefetch.h"
#include "support/nginx_site.h"
#include "thrown.h"

using testing_support::NginxSite;

namespace {

std::string RandomBytes(size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
  return bytes;
}

// A page without "<!--#" in it, so that the include filter passes it unchanged.
std::string TextPage(size_t size) {
  std::string page = "<html><body>\r\n";
  for (int line = 0; page.size() < size; ++line)
    page += "line " + std::to_string(line) + " \x8F\xA4\x95\x69 item\r\n";  // 商品 in Shift-JIS
  page.resize(size);
  return page;
}

class HttpNginx : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    ASSERT_TRUE(site.Load(why)) << why;
    http.InactivityTimeout = 10000;
    http.HandleRedirects = true;
    site.Put("/pages/target.html", "the target page\n");
  }

  std::string ConnectionOfLastAnswer() {
    return http.ReplyHeaders.ExtraHeaders.Value("X-Connection");
  }

  NginxSite site;
  TNetHTTP http;
};

TEST_F(HttpNginx, FilesOfEverySizeArriveByteForByte) {
  for (size_t size : {size_t{0}, size_t{1}, size_t{32767}, size_t{32768}, size_t{1} << 20 | 7}) {
    const std::string path = "/pages/size" + std::to_string(size) + ".bin";
    const std::string bytes = RandomBytes(size, static_cast<unsigned>(size));
    site.Put(path, bytes);
    EXPECT_EQ(FetchPage(http, site.Url(path)), bytes) << size;
    EXPECT_EQ(http.ReplyHeaders.ContentLength, static_cast<int64_t>(size));
    EXPECT_EQ(http.ReplyHeaders.Server.rfind("nginx", 0), 0u);
  }
}

TEST_F(HttpNginx, ChunkedPageIsJoined) {
  const std::string page = TextPage(200000);
  site.Put("/chunked/page.html", page);
  EXPECT_EQ(FetchPage(http, site.Url("/chunked/page.html")), page);
  EXPECT_EQ(http.ReplyHeaders.ExtraHeaders.Value("Transfer-Encoding"), "chunked");
  EXPECT_EQ(http.ReplyHeaders.ContentLength, 0);
  // The connection stays usable after the chunked body.
  const std::string connection = ConnectionOfLastAnswer();
  EXPECT_EQ(FetchPage(http, site.Url("/pages/target.html")), "the target page\n");
  EXPECT_EQ(ConnectionOfLastAnswer(), connection);
}

TEST_F(HttpNginx, RequestArrivesAsSent) {
  const std::string echo = FetchPage(http, site.Url("/echo?a=1&b=%E5%95%86"));
  EXPECT_EQ(echo, "GET /echo?a=1&b=%E5%95%86 127.0.0.1:" + std::to_string(site.Port) + " " +
                      ConnectionOfLastAnswer() + "\n");
}

// Two names on one port: the Host field with its port reaches the server of the name, in
// both clients.
TEST_F(HttpNginx, HostWithItsPortReachesTheNamedServer) {
  const std::string port = std::to_string(site.Port);
  const std::string url = "http://shop.example:" + port + "/anything";
  const THostResolver loopback = [](const std::string&, std::vector<std::string>& addresses) {
    addresses = {"127.0.0.1"};
    return true;
  };
  http.Resolver = loopback;
  EXPECT_EQ(FetchPage(http, url), "shop.example shop.example:" + port + "\n");
  TNetPageHTTP page;
  page.Resolver = loopback;
  EXPECT_EQ(page.Get(url), "shop.example shop.example:" + port + "\n");
  // The address by number reaches the other server.
  EXPECT_EQ(page.Get(site.Url("/echo")).rfind("GET /echo 127.0.0.1:" + port + " ", 0), 0u);
}

TEST_F(HttpNginx, RelativeRedirectIsFollowedOnTheSameConnection) {
  FetchPage(http, site.Url("/echo"));
  const std::string connection = ConnectionOfLastAnswer();
  EXPECT_EQ(FetchPage(http, site.Url("/redirect/chain")), "the target page\n");
  EXPECT_EQ(http.StatusCode, 200);
  EXPECT_EQ(ConnectionOfLastAnswer(), connection);
}

TEST_F(HttpNginx, AbsoluteRedirectToAnotherHostNameOpensANewConnection) {
  FetchPage(http, site.Url("/echo"));
  const std::string connection = ConnectionOfLastAnswer();
  EXPECT_EQ(FetchPage(http, site.Url("/redirect/absolute")), "the target page\n");
  EXPECT_EQ(http.Host, "localhost");
  EXPECT_NE(ConnectionOfLastAnswer(), connection);
}

TEST_F(HttpNginx, NotFoundFailsAndKeepsItsPage) {
  for (const char* path : {"/pages/none.html", "/redirect/missing"}) {
    TNetMemoryStream stream;
    auto e = Thrown<ENetProtocolReplyError>([&] { http.GetToStream(site.Url(path), stream); });
    ASSERT_TRUE(e) << path;
    EXPECT_EQ(e->ReplyNumber, 404);
    EXPECT_STREQ(e->what(), "404 Not Found");
    EXPECT_NE(stream.Bytes().find("<title>404 Not Found</title>"), std::string::npos) << stream.Bytes();
    EXPECT_EQ(stream.Bytes().find("302"), std::string::npos);  // the redirect page is gone
  }
}

TEST_F(HttpNginx, RedirectsAreFailuresWhenNotFollowed) {
  http.HandleRedirects = false;
  auto e = Thrown<ENetProtocolReplyError>([&] { FetchPage(http, site.Url("/redirect/absolute")); });
  ASSERT_TRUE(e);
  EXPECT_EQ(e->ReplyNumber, 301);
  EXPECT_EQ(http.ReplyHeaders.Location, "http://localhost:" + std::to_string(site.Port) + "/pages/target.html");
}

TEST_F(HttpNginx, HeadHasNoBodyAndKeepsTheConnection) {
  site.Put("/pages/head.bin", RandomBytes(5000, 5));
  TNetMemoryStream stream;
  http.PerformRequest(hmHead, site.Url("/pages/head.bin"), &stream, nullptr);
  EXPECT_EQ(http.ReplyHeaders.ContentLength, 5000);
  EXPECT_EQ(stream.Size(), 0u);
  EXPECT_TRUE(http.IsOpen());
  const std::string connection = ConnectionOfLastAnswer();
  EXPECT_EQ(FetchPage(http, site.Url("/pages/target.html")), "the target page\n");
  EXPECT_EQ(ConnectionOfLastAnswer(), connection);
}

TEST_F(HttpNginx, PageFetcherFollowsRedirectsAndReturnsErrorPages) {
  TNetPageHTTP page;
  EXPECT_EQ(page.Get(site.Url("/redirect/chain")), "the target page\n");
  EXPECT_EQ(page.Status(), "200");
  EXPECT_NE(page.Get(site.Url("/pages/none.html")).find("<title>404 Not Found</title>"), std::string::npos);
  EXPECT_EQ(page.Status(), "404");
  // HTTP/1.0 gets the filtered page up to the close instead of in chunks.
  const std::string text = TextPage(100000);
  site.Put("/chunked/one-oh.html", text);
  EXPECT_EQ(page.Get(site.Url("/chunked/one-oh.html")), text);
  EXPECT_EQ(page.Get(site.Url("/echo")).rfind("GET /echo 127.0.0.1:" + std::to_string(site.Port) + " ", 0), 0u);
}

}  // namespace

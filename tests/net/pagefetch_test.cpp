// The simple page fetcher against scripted loopback servers: its HTTP/1.0 request, error
// pages handed back as pages, which answers it follows, and its time limit.
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/netexceptions.h"
#include "net/pagefetch.h"
#include "support/scripted_server.h"
#include "thrown.h"

using testing_support::ScriptedServer;

namespace {

const char* const kRequestTail[] = {
    "Accept: www/source, text/html, video/mpeg, image/jpeg, image/x-tiff",
    "Accept: image/x-rgb, image/x-xbm, image/gif, */*, application/postscript",
    "Content-type: application/x-www-form-urlencoded",
    "",
};

std::string Url(const ScriptedServer& s, const std::string& path) {
  return "http://127.0.0.1:" + std::to_string(s.Port()) + path;
}

ScriptedServer& ExpectPageGet(ScriptedServer& s, const std::string& target) {
  s.Expect("GET " + target + " HTTP/1.0").Expect("Host: 127.0.0.1:" + std::to_string(s.Port()));
  for (const char* line : kRequestTail) s.Expect(line);
  return s;
}

void ExpectScriptRan(ScriptedServer& s) {
  s.Join();
  EXPECT_TRUE(s.Failures().empty()) << s.Failures().front();
}

TEST(PageFetch, SendsItsRequestAndTakesTheBodyUpToTheClose) {
  ScriptedServer s;
  ExpectPageGet(s, "/search/mall/a+b/?f=0");
  s.Send("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n").SendInPieces({"<html>", "page</html>"});
  s.Start();
  TNetPageHTTP page;
  EXPECT_EQ(page.Get(Url(s, "/search/mall/a+b/?f=0#frag")), "<html>page</html>");
  EXPECT_EQ(page.Status(), "200");
  EXPECT_FALSE(page.IsOpen());
  ExpectScriptRan(s);
  std::string request =
      "GET /search/mall/a+b/?f=0 HTTP/1.0\r\nHost: 127.0.0.1:" + std::to_string(s.Port()) + "\r\n";
  for (const char* line : kRequestTail) request += std::string(line) + "\r\n";
  EXPECT_EQ(s.Received(), request);
}

TEST(PageFetch, PathIsSentWholeAndAnAddressNeedsNoScheme) {
  const std::string longPath = "/search/mall/" + std::string(300, 'k') + "/?f=0";
  ScriptedServer s;
  ExpectPageGet(s, longPath);
  s.Send("HTTP/1.0 200 OK\r\n\r\nlong");
  s.Start();
  TNetPageHTTP page;
  EXPECT_EQ(page.Get("127.0.0.1:" + std::to_string(s.Port()) + longPath), "long");
  ExpectScriptRan(s);

  ScriptedServer root;
  ExpectPageGet(root, "/");
  root.Send("HTTP/1.0 200 OK\r\n\r\nroot");
  root.Start();
  EXPECT_EQ(page.Get(Url(root, "")), "root");
  ExpectScriptRan(root);
}

TEST(PageFetch, ErrorAnswersAndOddStatusesAreHandedBackAsThePage) {
  const struct {
    const char* reply;
    const char* page;
    const char* status;
  } cases[] = {
      {"HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nnot found", "not found", "404"},
      {"HTTP/1.0 500 Internal Server Error\r\n\r\nbroken", "broken", "500"},
      {"HTTP/1.0 303 See Other\r\nLocation: http://127.0.0.1:1/\r\n\r\nsee other", "see other", "303"},
      {"HTTP/1.0 302 Found\r\n\r\nno location", "no location", "302"},
      {"HTTP/1.0 abc def\r\n\r\nodd", "odd", "abc"},
      {"HTTP/1.0 204 No Content\r\n\r\n", "", "204"},
  };
  for (const auto& c : cases) {
    const std::string reply = c.reply;
    const bool framed = reply.find("Content-Length") != std::string::npos ||
                        reply.find(" 204 ") != std::string::npos;
    ScriptedServer s;
    ExpectPageGet(s, "/x");
    s.Send(reply);
    if (framed) s.HoldUntilClientCloses();  // the page ends by itself: no wait for a close
    s.Start();
    TNetPageHTTP page;
    page.TimeOut = 5000;
    EXPECT_EQ(page.Get(Url(s, "/x")), c.page) << c.reply;
    EXPECT_EQ(page.Status(), c.status) << c.reply;
    ExpectScriptRan(s);
  }
}

TEST(PageFetch, FollowsAnswers300To302ToTheirLocation) {
  for (const char* status : {"300 Multiple Choices", "301 Moved Permanently", "302 Found"}) {
    ScriptedServer to;
    ExpectPageGet(to, "/to");
    to.Send("HTTP/1.0 200 OK\r\n\r\narrived");
    ScriptedServer from;
    ExpectPageGet(from, "/from");
    from.Send(std::string("HTTP/1.0 ") + status + "\r\nLocation: " + Url(to, "/to") +
              "\r\n\r\nmoved");
    from.Start();
    to.Start();
    TNetPageHTTP page;
    EXPECT_EQ(page.Get(Url(from, "/from")), "arrived") << status;
    EXPECT_EQ(page.Location(), "");
    ExpectScriptRan(from);
    ExpectScriptRan(to);
  }
}

TEST(PageFetch, TheFifteenthRedirectIsThePage) {
  std::vector<std::unique_ptr<ScriptedServer>> hops;
  for (int i = 0; i < 16; ++i) hops.push_back(std::make_unique<ScriptedServer>());
  for (int i = 0; i < 15; ++i) {
    ExpectPageGet(*hops[i], "/hop");
    hops[i]->Send("HTTP/1.0 302 Found\r\nLocation: " + Url(*hops[i + 1], "/hop") + "\r\n\r\nhop " +
                  std::to_string(i + 1));
    hops[i]->Start();
  }
  TNetPageHTTP page;
  EXPECT_EQ(page.Get(Url(*hops[0], "/hop")), "hop 15");
  EXPECT_EQ(page.Location(), Url(*hops[15], "/hop"));
  for (int i = 0; i < 15; ++i) ExpectScriptRan(*hops[i]);
}

TEST(PageFetch, TimeLimitCoversTheWholeCall) {
  {  // A server that trickles a byte every 50 ms never looks idle, but the call ends.
    ScriptedServer s;
    ExpectPageGet(s, "/slow");
    s.Send("HTTP/1.0 200 OK\r\n\r\n").SendInPieces(std::vector<std::string>(60, "."));
    s.Start();
    TNetPageHTTP page;
    page.TimeOut = 500;
    auto e = Thrown<ENetSocketError>([&] { page.Get(Url(s, "/slow")); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->Code, 10060);
    EXPECT_FALSE(page.IsOpen());
  }
  {  // A server that answers nothing.
    ScriptedServer s;
    s.HoldUntilClientCloses();
    s.Start();
    TNetPageHTTP page;
    page.TimeOut = 300;
    auto e = Thrown<ENetSocketError>([&] { page.Get(Url(s, "/")); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->Code, 10060);
    ExpectScriptRan(s);
  }
}

TEST(PageFetch, NetworkFailuresRaise) {
  ScriptedServer s;
  ExpectPageGet(s, "/");
  s.Send("HTTP/1.0 200 OK\r\nContent-Length: 50\r\n\r\ncut short").Close();
  s.Start();
  TNetPageHTTP page;
  EXPECT_TRUE(Thrown<ENetConnClosedGracefully>([&] { page.Get(Url(s, "/")); }));
  ExpectScriptRan(s);
}

TEST(PageFetch, EmptyAndSecureAddressesFail) {
  TNetPageHTTP page;
  auto empty = Thrown<ENetException>([&] { page.Get(""); });
  ASSERT_TRUE(empty);
  EXPECT_STREQ(empty->what(), "Empty URL");
  // "https" in any case goes over TLS: a plain server fails the handshake.
  ScriptedServer s;
  s.Pause(100).Send("HTTP/1.0 400 Bad Request\r\n\r\n").Close();
  s.Start();
  auto secure = Thrown<ENetTLSError>(
      [&] { page.Get("HTTPS://127.0.0.1:" + std::to_string(s.Port()) + "/"); });
  ASSERT_TRUE(secure);
  EXPECT_NE(std::string(secure->what()).find("TLS handshake failed"), std::string::npos);
}

TEST(PageFetch, FetchPageIsGet) {
  ScriptedServer s;
  ExpectPageGet(s, "/f");
  s.Send("HTTP/1.0 404 Not Found\r\n\r\ngone");
  s.Start();
  TNetPageHTTP page;
  EXPECT_EQ(FetchPage(page, Url(s, "/f")), "gone");
  ExpectScriptRan(s);
}

// An IPv6 address in brackets: the connection goes to it, and the Host field keeps the
// brackets and names the port.
TEST(PageFetch, IPv6AddressInBrackets) {
  std::unique_ptr<ScriptedServer> s;
  try {
    s = std::make_unique<ScriptedServer>("::1");
  } catch (const std::runtime_error& e) {
    GTEST_SKIP() << "this machine has no ::1: " << e.what();
  }
  const std::string port = std::to_string(s->Port());
  s->Expect("GET /p.html HTTP/1.0").Expect("Host: [::1]:" + port);
  for (const char* line : kRequestTail) s->Expect(line);
  s->Send("HTTP/1.0 200 OK\r\n\r\nover IPv6");
  s->Start();
  TNetPageHTTP page;
  EXPECT_EQ(page.Get("http://[::1]:" + port + "/p.html"), "over IPv6");
  ExpectScriptRan(*s);
}

}  // namespace

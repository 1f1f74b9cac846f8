// The HTTP client against scripted loopback servers: how bodies are framed, redirects,
// failures with their texts, limits, and the requests it sends.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "base/errors.h"
#include "base/sjisliteral.h"
#include "net/http.h"
#include "base/netexceptions.h"
#include "support/scripted_server.h"
#include "thrown.h"

using testing_support::ScriptedServer;

namespace {

const std::string kAccept = "Accept: text/html, */*";
const std::string kUserAgent = "User-Agent: Mozilla/3.0 (compatible; Vendlume)";

std::string Url(const ScriptedServer& s, const std::string& path,
                const std::string& host = "127.0.0.1") {
  return "http://" + host + ":" + std::to_string(s.Port()) + path;
}

// The lines of a GET with the default request fields.
ScriptedServer& ExpectGet(ScriptedServer& s, const std::string& target,
                          const std::string& host = "127.0.0.1") {
  return s.Expect("GET " + target + " HTTP/1.1").Expect("Host: " + host + ":" + std::to_string(s.Port()))
      .Expect(kAccept)
      .Expect(kUserAgent).Expect("");
}

// A response with "Content-Length"; more holds further header lines, each with CR LF.
std::string WithLength(const std::string& statusLine, const std::string& body,
                       const std::string& more = "") {
  return statusLine + "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" + more +
         "\r\n" + body;
}

void ExpectScriptRan(ScriptedServer& s) {
  s.Join();
  EXPECT_TRUE(s.Failures().empty()) << s.Failures().front();
}

class HttpTest : public ::testing::Test {
 protected:
  HttpTest() { http.InactivityTimeout = 5000; }
  TNetHTTP http;
  TNetMemoryStream stream;
};

// ---- bodies ----

// The cases by subject: how a body is framed, redirects, status codes, and the exchange as
// a whole (request fields, time limits, connection reuse).
class HttpBodyTest : public HttpTest {};
class HttpRedirectTest : public HttpTest {};
class HttpStatusTest : public HttpTest {};
class HttpExchangeTest : public HttpTest {};

TEST_F(HttpBodyTest, LengthIsReadExactlyWhileTheServerKeepsTheConnection) {
  ScriptedServer s;
  std::string body(1234, 'x');
  body.front() = '<';
  body.back() = '>';
  ExpectGet(s, "/dir/page.html?q=1");
  s.Send(WithLength("HTTP/1.1 200 OK", body, "Server: scripted\r\n")).HoldUntilClientCloses();
  s.Start();
  http.GetToStream(Url(s, "/dir/page.html?q=1#top"), stream);
  EXPECT_EQ(stream.Bytes(), body);
  EXPECT_EQ(http.StatusCode, 200);
  EXPECT_EQ(http.StatusText, "200 OK");
  EXPECT_EQ(http.ReplyHeaders.ContentLength, 1234);
  EXPECT_EQ(http.ReplyHeaders.Server, "scripted");
  EXPECT_TRUE(http.IsOpen());  // kept for the next request
  http.CloseConnection();
  ExpectScriptRan(s);
  EXPECT_EQ(s.Received(), "GET /dir/page.html?q=1 HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(s.Port()) +
                              "\r\n" + kAccept +
                              "\r\n" + kUserAgent + "\r\n\r\n");
}

TEST_F(HttpBodyTest, ChunkedSizesInHexWithExtensionsAreJoinedAndTheConnectionStaysUsable) {
  ScriptedServer s;
  ExpectGet(s, "/chunked");
  s.SendInPieces({"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n",
                  "1a\r\nabcdefghijklm", "nopqrstuvwxyz\r\n",  // 26 bytes, cut in two
                  "5 an extension after a space\r\nhello\r\n",
                  std::string("3;name=value\r\n\r\n\0\r\n", 19),  // data: CR LF NUL
                  "A ; q=\"x\"\r\n0123456789\r\n",
                  "0\r\nTrailer-Field: x\r\n\r\n"});
  ExpectGet(s, "/second");
  s.Send(WithLength("HTTP/1.1 200 OK", "second")).HoldUntilClientCloses();
  s.Start();
  std::vector<std::string> statuses;
  http.OnStatus = [&](TNetComponent*, TNetStatus status, const std::string& text) {
    if (status == nsStatusText) statuses.push_back(text);
  };
  http.GetToStream(Url(s, "/chunked"), stream);
  EXPECT_EQ(stream.Bytes(),
            std::string("abcdefghijklmnopqrstuvwxyzhello\r\n\x00", 34) + "0123456789");
  EXPECT_EQ(statuses, std::vector<std::string>{"Chunk Started"});
  EXPECT_EQ(http.ReplyHeaders.ExtraHeaders.Value("Transfer-Encoding"), "chunked");

  TNetMemoryStream second;
  http.GetToStream(Url(s, "/second"), second);  // the same connection: the trailer was consumed
  EXPECT_EQ(second.Bytes(), "second");
  http.CloseConnection();
  ExpectScriptRan(s);
}

TEST_F(HttpBodyTest, EmptyBodiesEndWithoutWaitingForTheClose) {
  const struct {
    TNetHTTPMethod method;
    const char* reply;
  } cases[] = {
      {hmGet, "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n"},
      {hmGet, "HTTP/1.1 204 No Content\r\n\r\n"},
      {hmHead, "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n"},
      {hmHead, "HTTP/1.1 200 OK\r\n\r\n"},
  };
  for (const auto& c : cases) {
    ScriptedServer s;
    s.Expect(std::string(c.method == hmHead ? "HEAD" : "GET") + " /e HTTP/1.1").ReadLine()
        .ReadLine().ReadLine().Expect("");
    s.Send(c.reply).HoldUntilClientCloses();
    s.Start();
    TNetHTTP client;
    client.InactivityTimeout = 5000;  // a wait for the close would end in a time-out
    TNetMemoryStream body;
    body.Write("old");
    body.SetPosition(0);
    client.PerformRequest(c.method, Url(s, "/e"), &body, nullptr);
    EXPECT_EQ(body.Size(), 0u) << c.reply;
    EXPECT_TRUE(client.IsOpen()) << c.reply;
    client.CloseConnection();
    ExpectScriptRan(s);
  }
}

TEST_F(HttpBodyTest, WithoutLengthTheBodyRunsToTheClose) {
  ScriptedServer s;
  ExpectGet(s, "/");
  s.Send("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n").SendInPieces({"part one, ", "part two"});
  s.Start();
  http.GetToStream(Url(s, ""), stream);
  EXPECT_EQ(stream.Bytes(), "part one, part two");
  EXPECT_EQ(http.ReplyHeaders.ContentType, "text/html");
  EXPECT_FALSE(http.IsOpen());
  ExpectScriptRan(s);
}

// ---- redirects ----

TEST_F(HttpRedirectTest, SixteenRedirectsEndAtTheFifteenthResponseWithoutFailure) {
  ScriptedServer s;
  for (int i = 1; i <= 15; ++i) {
    ExpectGet(s, "/r" + std::to_string(i));
    s.Send(WithLength("HTTP/1.1 302 Found", "moved " + std::to_string(i),
                      "Location: /r" + std::to_string(i + 1) + "\r\n"));
  }
  // The next call starts counting afresh: its one redirect is followed.
  ExpectGet(s, "/again");
  s.Send(WithLength("HTTP/1.1 302 Found", "x", "Location: /final\r\n"));
  ExpectGet(s, "/final");
  s.Send(WithLength("HTTP/1.1 200 OK", "done")).HoldUntilClientCloses();
  s.Start();
  http.HandleRedirects = true;
  http.GetToStream(Url(s, "/r1"), stream);
  EXPECT_EQ(stream.Bytes(), "moved 15");
  EXPECT_EQ(http.StatusCode, 302);
  EXPECT_EQ(http.ReplyHeaders.Location, Url(s, "/r16"));

  TNetMemoryStream again;
  http.GetToStream(Url(s, "/again"), again);
  EXPECT_EQ(again.Bytes(), "done");
  http.CloseConnection();
  ExpectScriptRan(s);
  EXPECT_EQ(s.Received().find("/r16"), std::string::npos);
}

TEST_F(HttpRedirectTest, RelativeLocationStaysOnTheSameHostAndPort) {
  ScriptedServer s;
  ExpectGet(s, "/dir/a.html");
  s.Send(WithLength("HTTP/1.1 301 Moved Permanently", "", "Location: ../other/b.html\r\n"));
  ExpectGet(s, "/other/b.html");
  s.Send(WithLength("HTTP/1.1 200 OK", "b")).HoldUntilClientCloses();
  s.Start();
  http.HandleRedirects = true;
  http.GetToStream(Url(s, "/dir/a.html"), stream);
  EXPECT_EQ(stream.Bytes(), "b");
  http.CloseConnection();
  ExpectScriptRan(s);
}

TEST_F(HttpRedirectTest, AbsoluteLocationOnAnotherHostOpensANewConnection) {
  ScriptedServer b;
  ExpectGet(b, "/b", "localhost");
  b.Send(WithLength("HTTP/1.1 200 OK", "from b"));
  ScriptedServer a;
  ExpectGet(a, "/a");
  a.Send(WithLength("HTTP/1.1 302 Found", "to b", "Location: " + Url(b, "/b", "localhost") + "\r\n"))
      .HoldUntilClientCloses();
  a.Start();
  b.Start();
  std::vector<std::string> events;
  http.OnStatus = [&](TNetComponent*, TNetStatus status, const std::string&) {
    if (status == nsConnected || status == nsDisconnected) events.push_back(status == nsConnected ? "open" : "close");
  };
  http.HandleRedirects = true;
  http.GetToStream(Url(a, "/a"), stream);
  EXPECT_EQ(stream.Bytes(), "from b");
  EXPECT_EQ(http.Host, "localhost");
  events.resize(3);  // then b's close, when it has been noticed
  EXPECT_EQ(events, (std::vector<std::string>{"open", "close", "open"}));
  ExpectScriptRan(a);  // ended because the client closed the first connection
  ExpectScriptRan(b);
}

TEST_F(HttpRedirectTest, AnyResponseWithLocationIsFollowed) {
  ScriptedServer s;
  ExpectGet(s, "/ok");
  s.Send(WithLength("HTTP/1.1 200 OK", "first", "Location: /next\r\n"));
  ExpectGet(s, "/next");
  s.Send(WithLength("HTTP/1.1 200 OK", "next")).HoldUntilClientCloses();
  s.Start();
  http.HandleRedirects = true;
  http.GetToStream(Url(s, "/ok"), stream);
  EXPECT_EQ(stream.Bytes(), "next");
  http.CloseConnection();
  ExpectScriptRan(s);
}

TEST_F(HttpRedirectTest, RedirectWithoutHandleRedirectsFailsWithItsStatus) {
  ScriptedServer s;
  ExpectGet(s, "/old");
  s.Send(WithLength("HTTP/1.1 302 Found", "see /new", "Location: /new\r\n")).HoldUntilClientCloses();
  s.Start();
  auto e = Thrown<ENetProtocolReplyError>([&] { http.GetToStream(Url(s, "/old"), stream); });
  ASSERT_TRUE(e);
  EXPECT_EQ(e->ReplyNumber, 302);
  EXPECT_STREQ(e->what(), "302 Found");
  EXPECT_EQ(stream.Bytes(), "see /new");
}

TEST_F(HttpRedirectTest, RedirectHandlerDecidesAndMayChangeTheAddress) {
  {  // Not following by default, the handler accepts the redirect as the answer.
    ScriptedServer s;
    ExpectGet(s, "/old");
    s.Send(WithLength("HTTP/1.1 301 Moved", "moved", "Location: /new\r\n")).HoldUntilClientCloses();
    s.Start();
    std::string asked;
    http.OnRedirect = [&](TNetComponent*, std::string& destination, bool& follow) {
      asked = destination;
      EXPECT_FALSE(follow);
      destination = "http://elsewhere/x";
      follow = true;
    };
    http.GetToStream(Url(s, "/old"), stream);
    EXPECT_EQ(asked, Url(s, "/new"));
    EXPECT_EQ(http.ReplyHeaders.Location, "http://elsewhere/x");
    EXPECT_EQ(stream.Bytes(), "moved");
    http.CloseConnection();
  }
  {  // Following, the handler sends the request elsewhere.
    TNetMemoryStream stream;
    ScriptedServer s;
    ExpectGet(s, "/old");
    s.Send(WithLength("HTTP/1.1 302 Found", "", "Location: /new\r\n"));
    ExpectGet(s, "/chosen");
    s.Send(WithLength("HTTP/1.1 200 OK", "chosen")).HoldUntilClientCloses();
    s.Start();
    http.HandleRedirects = true;
    http.OnRedirect = [&](TNetComponent*, std::string& destination, bool& follow) {
      EXPECT_TRUE(follow);
      destination = Url(s, "/chosen");
    };
    http.GetToStream(Url(s, "/old"), stream);
    EXPECT_EQ(stream.Bytes(), "chosen");
    http.CloseConnection();
    ExpectScriptRan(s);
  }
  {  // Following, the handler says no: the redirect's body is the answer.
    TNetMemoryStream stream;
    ScriptedServer s;
    ExpectGet(s, "/old");
    s.Send(WithLength("HTTP/1.1 302 Found", "stay", "Location: /new\r\n")).HoldUntilClientCloses();
    s.Start();
    http.OnRedirect = [&](TNetComponent*, std::string&, bool& follow) { follow = false; };
    http.GetToStream(Url(s, "/old"), stream);
    EXPECT_EQ(stream.Bytes(), "stay");
    EXPECT_EQ(http.StatusCode, 302);
  }
}

TEST_F(HttpRedirectTest, RedirectWithoutLocationFails) {
  ScriptedServer s;
  ExpectGet(s, "/x");
  s.Send(WithLength("HTTP/1.1 301 Moved Permanently", "nowhere")).HoldUntilClientCloses();
  s.Start();
  http.HandleRedirects = true;
  auto e = Thrown<ENetProtocolReplyError>([&] { http.GetToStream(Url(s, "/x"), stream); });
  ASSERT_TRUE(e);
  EXPECT_EQ(e->ReplyNumber, 301);
  EXPECT_EQ(stream.Bytes(), "nowhere");
}

TEST_F(HttpBodyTest, StreamIsWrittenFromItsPositionAndCutAfterTheBody) {
  ScriptedServer s;
  ExpectGet(s, "/a");
  s.Send(WithLength("HTTP/1.1 302 Found", "a rather long redirect page", "Location: /b\r\n"));
  ExpectGet(s, "/b");
  s.Send(WithLength("HTTP/1.1 200 OK", "new")).HoldUntilClientCloses();
  s.Start();
  stream.Write("KEEP and some older content");
  stream.SetPosition(4);
  http.HandleRedirects = true;
  http.GetToStream(Url(s, "/a"), stream);
  EXPECT_EQ(stream.Bytes(), "KEEPnew");
  EXPECT_EQ(stream.Position(), 7u);
  http.CloseConnection();
  ExpectScriptRan(s);
}

// ---- failures ----

TEST_F(HttpStatusTest, NotFoundFailsWithTheStatusAndKeepsThePage) {
  ScriptedServer s;
  const std::string page = "<html><body>no such page</body></html>";
  ExpectGet(s, "/missing");
  s.Send(WithLength("HTTP/1.1 404 Not Found", page)).HoldUntilClientCloses();
  s.Start();
  auto e = Thrown<ENetProtocolReplyError>([&] { http.GetToStream(Url(s, "/missing"), stream); });
  ASSERT_TRUE(e);
  EXPECT_EQ(e->ReplyNumber, 404);
  EXPECT_STREQ(e->what(), "404 Not Found");
  EXPECT_EQ(stream.Bytes(), page);
  EXPECT_EQ(http.StatusCode, 404);
}

TEST_F(HttpStatusTest, NotModifiedWithoutLocationFailsAtOnce) {
  ScriptedServer s;
  ExpectGet(s, "/cached");
  s.Send("HTTP/1.1 304 Not Modified\r\nContent-Length: 99\r\n\r\n").HoldUntilClientCloses();
  s.Start();
  auto e = Thrown<ENetProtocolReplyError>([&] { http.GetToStream(Url(s, "/cached"), stream); });
  ASSERT_TRUE(e);
  EXPECT_EQ(e->ReplyNumber, 304);
  EXPECT_EQ(stream.Size(), 0u);
}

TEST_F(HttpStatusTest, NonNumericStatusCodeIsTheConversionFailure) {
  ScriptedServer s;
  ExpectGet(s, "/");
  s.Send("HTTP/1.1 abc OK\r\n\r\n").HoldUntilClientCloses();
  s.Start();
  auto e = Thrown<EConvertError>([&] { http.GetToStream(Url(s, "/"), stream); });
  ASSERT_TRUE(e);
  EXPECT_EQ(std::string(e->what()), Sjis("'abc' は整数ではありません"));
}

TEST_F(HttpStatusTest, HttpsToAPlainServerFailsInTheHandshake) {
  // "https" means TLS from the first byte: a server that answers in plain HTTP is no
  // TLS server, and nothing of its answer reaches the stream.
  ScriptedServer s;
  s.Pause(100).Send("HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\n\r\n").Close();
  s.Start();
  auto e = Thrown<ENetTLSError>(
      [&] { http.GetToStream("https://127.0.0.1:" + std::to_string(s.Port()) + "/", stream); });
  ASSERT_TRUE(e);
  EXPECT_NE(std::string(e->what()).find("TLS handshake failed"), std::string::npos) << e->what();
  EXPECT_FALSE(http.IsOpen());
  EXPECT_EQ(stream.Size(), 0u);
}

TEST_F(HttpBodyTest, CloseInsideABodyIsAGracefulCloseFailure) {
  const char* replies[] = {
      "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nonly ten b",
      "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n10\r\nonly ten b",
      "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n",
      "HTTP/1.1 200 OK\r\nContent-Le",
  };
  for (const char* reply : replies) {
    ScriptedServer s;
    ExpectGet(s, "/");
    s.Send(reply).Close();
    s.Start();
    TNetMemoryStream body;
    EXPECT_TRUE(Thrown<ENetConnClosedGracefully>([&] { http.GetToStream(Url(s, "/"), body); }))
        << reply;
    EXPECT_FALSE(http.IsOpen());
    ExpectScriptRan(s);
  }
}

TEST_F(HttpExchangeTest, StalledServerTimesOutAtTheInactivityLimit) {
  const char* replies[] = {
      "",
      "HTTP/1.1 200 OK\r\nContent-Le",
      "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nonly ten b",
      "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n",
      "HTTP/1.1 200 OK\r\n\r\nuntil close",
  };
  for (const char* reply : replies) {
    ScriptedServer s;
    ExpectGet(s, "/");
    s.Send(reply).HoldUntilClientCloses();
    s.Start();
    http.InactivityTimeout = 300;
    auto e = Thrown<ENetSocketError>([&] { http.GetToStream(Url(s, "/"), stream); });
    ASSERT_TRUE(e) << reply;
    EXPECT_EQ(e->Code, 10060);
    EXPECT_FALSE(http.IsOpen());
    ExpectScriptRan(s);
  }
}

TEST_F(HttpBodyTest, BadChunkSizeLineFailsAndClosesTheConnection) {
  ScriptedServer s;
  ExpectGet(s, "/");
  s.Send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\nwhatever\r\n0\r\n\r\n")
      .HoldUntilClientCloses();
  s.Start();
  auto e = Thrown<ENetException>([&] { http.GetToStream(Url(s, "/"), stream); });
  ASSERT_TRUE(e);
  EXPECT_STREQ(e->what(), "Bad chunk size line \"zz\".");
  EXPECT_FALSE(http.IsOpen());
  ExpectScriptRan(s);
}

// ---- limits ----

TEST_F(HttpBodyTest, AnnouncedBodyBeyondTheLimitFailsBeforeItIsRead) {
  ScriptedServer s;
  ExpectGet(s, "/huge");
  s.Send("HTTP/1.1 200 OK\r\nContent-Length: 1073741824\r\n\r\nstart of a huge body")
      .HoldUntilClientCloses();
  s.Start();
  auto e = Thrown<ENetLimitExceeded>([&] { http.GetToStream(Url(s, "/huge"), stream); });
  ASSERT_TRUE(e);
  EXPECT_STREQ(e->what(), "Body larger than 67108864 bytes.");
  EXPECT_EQ(stream.Size(), 0u);
  EXPECT_FALSE(http.IsOpen());
  ExpectScriptRan(s);
}

TEST_F(HttpBodyTest, ReceivedBodyBeyondTheLimitFails) {
  const std::string sixty(60, 'c');
  const std::string replies[] = {
      "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3c\r\n" + sixty + "\r\n3c\r\n" + sixty +
          "\r\n0\r\n\r\n",
      "HTTP/1.1 200 OK\r\n\r\n" + sixty + sixty,
      "HTTP/1.1 200 OK\r\nContent-Length: 101\r\n\r\n",
  };
  for (const std::string& reply : replies) {
    ScriptedServer s;
    ExpectGet(s, "/");
    s.Send(reply).Close();
    s.Start();
    TNetMemoryStream small(100);
    auto e = Thrown<ENetLimitExceeded>([&] { http.GetToStream(Url(s, "/"), small); });
    ASSERT_TRUE(e) << reply;
    EXPECT_STREQ(e->what(), "Body larger than 100 bytes.");
    EXPECT_LE(small.Size(), 100u);
    ExpectScriptRan(s);
  }
}

// A body of exactly the stream's maximum fits, however it is framed.
TEST_F(HttpBodyTest, BodyOfExactlyTheLimitFits) {
  const std::string hundred(100, 'h');
  const std::string replies[] = {
      "HTTP/1.1 200 OK\r\n\r\n" + hundred,
      "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n" + hundred,
      "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n64\r\n" + hundred + "\r\n0\r\n\r\n",
  };
  for (const std::string& reply : replies) {
    ScriptedServer s;
    ExpectGet(s, "/");
    s.Send(reply).Close();
    s.Start();
    TNetMemoryStream small(100);
    http.GetToStream(Url(s, "/"), small);
    EXPECT_EQ(small.Bytes(), hundred) << reply;
    ExpectScriptRan(s);
  }
}

TEST_F(HttpExchangeTest, EndlessHeaderBlockFails) {
  ScriptedServer s;
  ExpectGet(s, "/");
  std::string headers = "HTTP/1.1 200 OK\r\n";
  while (headers.size() <= kMaxHttpHeaderSize) headers += "X-Filler: " + std::string(1000, 'f') + "\r\n";
  s.Send(headers).HoldUntilClientCloses();
  s.Start();
  EXPECT_TRUE(Thrown<ENetLimitExceeded>([&] { http.GetToStream(Url(s, "/"), stream); }));
  EXPECT_FALSE(http.IsOpen());
  ExpectScriptRan(s);
}

// ---- requests and connections ----

TEST_F(HttpExchangeTest, RequestFieldsAndPostBodyAreSent) {
  ScriptedServer s;
  s.Expect("POST /form HTTP/1.1").Expect("Host: 127.0.0.1:" + std::to_string(s.Port())).Expect(kAccept)
      .Expect("Referer: http://shop/").Expect(kUserAgent).Expect("Content-Type: application/x-www-form-urlencoded")
      .Expect("Content-Length: 7").Expect("X-Extra: yes").Expect("");
  s.Pause(100).Send(WithLength("HTTP/1.1 200 OK", "posted")).HoldUntilClientCloses();
  s.Start();
  http.Request.Referer = "http://shop/";
  http.Request.ContentType = "application/x-www-form-urlencoded";
  http.Request.ExtraHeaders.Add("X-Extra: yes");
  std::istringstream source("a=1&b=2");
  http.PerformRequest(hmPost, Url(s, "/form"), &stream, &source);
  EXPECT_EQ(stream.Bytes(), "posted");
  http.CloseConnection();
  ExpectScriptRan(s);
  EXPECT_EQ(s.Received().substr(s.Received().size() - 11), "\r\n\r\na=1&b=2");
}

TEST_F(HttpExchangeTest, Http10EndsTheConnectionAsDoesConnectionClose) {
  const struct {
    TNetHTTPProtocolVersion version;
    const char* statusLine;
    const char* more;
  } cases[] = {
      {pv1_1, "HTTP/1.0 200 OK", ""},
      {pv1_1, "HTTP/1.1 200 OK", "Connection:  Close \r\n"},
      {pv1_0, "HTTP/1.1 200 OK", ""},
  };
  for (const auto& c : cases) {
    ScriptedServer s;
    s.Expect(std::string("GET / HTTP/") + (c.version == pv1_0 ? "1.0" : "1.1")).ReadLine()
        .ReadLine().ReadLine().Expect("");
    s.Send(WithLength(c.statusLine, "body", c.more)).HoldUntilClientCloses();
    s.Start();
    http.ProtocolVersion = c.version;
    TNetMemoryStream stream;
    http.GetToStream(Url(s, "/"), stream);
    EXPECT_EQ(stream.Bytes(), "body");
    EXPECT_FALSE(http.IsOpen()) << c.statusLine << " " << c.more;
    ExpectScriptRan(s);
  }
}

TEST_F(HttpExchangeTest, FetchPageReturnsTheBodyOrRaises) {
  ScriptedServer s;
  ExpectGet(s, "/p");
  s.Send(WithLength("HTTP/1.1 200 OK", "page"));
  ExpectGet(s, "/q");
  s.Send(WithLength("HTTP/1.1 500 Internal Server Error", "oops")).HoldUntilClientCloses();
  s.Start();
  EXPECT_EQ(FetchPage(http, Url(s, "/p")), "page");
  auto e = Thrown<ENetProtocolReplyError>([&] { FetchPage(http, Url(s, "/q")); });
  ASSERT_TRUE(e);
  EXPECT_EQ(e->ReplyNumber, 500);
  http.CloseConnection();
  ExpectScriptRan(s);
}

// ---- hostile servers and addresses ----

TEST_F(HttpRedirectTest, CarriageReturnInLocationCannotAddAHeaderLine) {
  ScriptedServer s;
  ExpectGet(s, "/start")
      .Send("HTTP/1.1 302 Found\r\nLocation: /next\rX-Injected: 1\r\nContent-Length: 0\r\n\r\n");
  ExpectGet(s, "/next%0DX-Injected:%201").Send(WithLength("HTTP/1.1 200 OK", "done"));
  s.Start();
  http.HandleRedirects = true;
  http.GetToStream(Url(s, "/start"), stream);
  EXPECT_EQ(stream.Bytes(), "done");
  http.CloseConnection();
  ExpectScriptRan(s);
  EXPECT_EQ(s.Received().find("\rX-Injected"), std::string::npos);
}

TEST_F(HttpExchangeTest, ControlBytesInTargetAreEncodedAndInHostRefused) {
  ScriptedServer s;
  ExpectGet(s, "/a%20b%09c%7F%0D%0Ad").Send(WithLength("HTTP/1.1 200 OK", "ok"));
  s.Start();
  http.GetToStream(Url(s, "/a b\tc\x7F\r\nd"), stream);
  http.CloseConnection();
  ExpectScriptRan(s);
  for (const char* host : {"127.0.0.1\r\nX: y", "a b", "h\x7F"}) {
    auto e = Thrown<ENetException>([&] { http.GetToStream(std::string("http://") + host + "/", stream); });
    ASSERT_TRUE(e) << host;
    EXPECT_NE(std::string(e->what()).find("Invalid host name"), std::string::npos);
  }
}

TEST_F(HttpExchangeTest, OneDeadlineForTheWholeCallWithItsRedirects) {
  ScriptedServer s;
  // Every answer comes well within the inactivity limit, but together they take longer
  // than the call may.
  for (int i = 0; i < 15; ++i) {
    s.ReadLine().ReadLine().ReadLine().ReadLine().ReadLine().Pause(300)
        .Send("HTTP/1.1 302 Found\r\nLocation: /again\r\nContent-Length: 0\r\n\r\n");
  }
  s.HoldUntilClientCloses();
  s.Start();
  http.HandleRedirects = true;
  http.CallTimeout = 1000;
  auto e = Thrown<ENetSocketError>([&] { http.GetToStream(Url(s, "/again"), stream); });
  ASSERT_TRUE(e);
  EXPECT_EQ(e->Code, 10060);
  http.CloseConnection();
  s.Join();
}

}  // namespace

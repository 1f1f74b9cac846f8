// The compact store of a response's header lines reads exactly as a list of line strings.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/httpheaders.h"
#include "net/httpparse.h"

namespace {

TEST(HttpHeaderLines, ReadLikeALineList) {
  const std::vector<std::vector<std::string>> blocks = {
      {},
      {"Server: nginx", "Content-Length: 12"},
      {"", "X-Empty:", "Location:   /a", "\t/b", "  ", "location: /second"},
      {"Content-Type: text/html;", "  charset=UTF-8", "Transfer-Encoding: chunked",
       "Set-Cookie: a=1", "X-Folded: one", "\ttwo", "Server: first", "Server: second"},
      {"no colon", ":", "Content-Length: x", "Date: Sun, 06 Nov 1994 08:49:37 GMT", "Server:"},
  };
  const char* const names[] = {"Server", "location", "Content-Type", "X-Folded", "X-Empty",
                               "Content-Length", "Date", "", "no colon", "Transfer-Encoding"};
  for (const auto& block : blocks) {
    TNetHeaderList list;
    THttpHeaderLines lines;
    for (const std::string& line : block) {
      list.Add(line);
      lines.Add(line);
    }
    ASSERT_EQ(lines.Count(), block.size());
    for (size_t i = 0; i < block.size(); ++i) EXPECT_EQ(lines.Line(i), block[i]);
    for (const char* name : names) EXPECT_EQ(lines.Value(name), list.Value(name)) << name;

    const TNetHeaderInfo fromLines = ResponseHeaderInfo(lines), fromList = ResponseHeaderInfo(list);
    EXPECT_EQ(fromLines.Server, fromList.Server);
    EXPECT_EQ(fromLines.Location, fromList.Location);
    EXPECT_EQ(fromLines.ContentType, fromList.ContentType);
    EXPECT_EQ(fromLines.ContentLength, fromList.ContentLength);
    EXPECT_EQ(fromLines.Date.second, fromList.Date.second);
    EXPECT_EQ(fromLines.ExtraHeaders.Lines, fromList.ExtraHeaders.Lines);
    for (bool head : {false, true}) {
      EXPECT_EQ(BodyFraming(head, 200, lines).kind, BodyFraming(head, 200, list).kind);
      EXPECT_EQ(BodyFraming(head, 200, lines).length, BodyFraming(head, 200, list).length);
    }
  }
}

}  // namespace

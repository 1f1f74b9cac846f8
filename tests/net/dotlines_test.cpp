// A mail's lines taken in blocks straight from the receive queue must be exactly what the
// line-by-line reading gives: same bytes, same unstuffing, same end, and the connection
// left at the first byte after the "." line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/netexceptions.h"
#include "mail/stringlinereader.h"
#include "net/tcpclient.h"
#include "support/scripted_server.h"

using testing_support::ScriptedServer;

namespace {

// What the reader gives over calls of at most limit bytes each, and whether it ended.
std::string ReadAll(TNetLineReader& reader, size_t limit, bool& ended) {
  std::string text, piece;
  ended = false;
  for (int calls = 0; calls < 100000 && !ended; ++calls) {
    ended = reader.ReadDotLines(piece, limit);
    text += piece;
    piece.clear();
  }
  return text;
}

struct DotCase {
  const char* name;
  std::vector<std::string> pieces;  // as the server sends them
  std::string text;                 // what the client must deliver
};

const std::vector<DotCase>& Cases() {
  static const std::vector<DotCase> cases = {
      {"crlf lines", {"a\r\nbb\r\n.\r\n"}, "a\r\nbb\r\n"},
      {"lf alone gets cr lf", {"a\nbb\n.\n"}, "a\r\nbb\r\n"},
      {"cr cr lf loses one cr", {"a\r\r\nb\r\n.\r\n"}, "a\r\r\nb\r\n"},
      {"stuffed dots", {"..\r\n...x\r\n..y\n.z\r\n.\r\n"}, ".\r\n..x\r\n.y\r\n.z\r\n"},
      {"empty lines", {"\r\n\n\r\n.\r\n"}, "\r\n\r\n\r\n"},
      {"dot with more is a line", {". \r\n.\r\r\n.\r\n"}, ". \r\n.\r\r\n"},
      {"nothing before the end", {".\r\n"}, ""},
      {"split everywhere", {"a", "b\r", "\n.", ".", "c\r\n", ".", "\r", "\n"}, "ab\r\n.c\r\n"},
      {"end split from its line end", {"x\r\n.", "\r\n"}, "x\r\n"},
  };
  return cases;
}

TEST(DotLines, BlocksFromTheConnectionEqualLineByLineReading) {
  for (const DotCase& c : Cases()) {
    for (size_t limit : {size_t{1}, size_t{3}, size_t{64 * 1024}}) {
      SCOPED_TRACE(std::string(c.name) + ", limit " + std::to_string(limit));
      std::string all;
      for (const auto& piece : c.pieces) all += piece;
      TNetStringLineReader lines(all + "after\r\n");
      bool lineEnded = false;
      EXPECT_EQ(ReadAll(lines, limit, lineEnded), c.text);
      EXPECT_TRUE(lineEnded);
      EXPECT_EQ(lines.ReadLn(), "after");

      ScriptedServer server;
      std::vector<std::string> pieces = c.pieces;
      pieces.push_back("after\r\n");
      server.SendInPieces(pieces).HoldUntilClientCloses();
      server.Start();
      TNetTCPClient client;
      client.Host = "127.0.0.1";
      client.Port = server.Port();
      client.OpenConnection();
      bool blockEnded = false;
      EXPECT_EQ(ReadAll(client, limit, blockEnded), c.text);
      EXPECT_TRUE(blockEnded);
      EXPECT_EQ(client.ReadLine(), "after");
      client.CloseConnection();
    }
  }
}

// Each call stops soon after its limit; the rest stays queued for the next call.
TEST(DotLines, ACallStopsAtTheLineThatReachesItsLimit) {
  ScriptedServer server;
  server.Send("1234\r\n5678\r\nabcd\r\n.\r\n").HoldUntilClientCloses();
  server.Start();
  TNetTCPClient client;
  client.Host = "127.0.0.1";
  client.Port = server.Port();
  client.OpenConnection();
  std::string text;
  EXPECT_FALSE(client.ReadDotLines(text, 7));
  EXPECT_EQ(text, "1234\r\n5678\r\n");
  EXPECT_TRUE(client.ReadDotLines(text, 100));
  EXPECT_EQ(text, "1234\r\n5678\r\nabcd\r\n");
  client.CloseConnection();
}

// A close before the "." line fails as the line reading does, after the complete lines.
TEST(DotLines, CloseBeforeTheEndFails) {
  ScriptedServer server;
  server.Send("a\r\nb\r\npartial").Close();
  server.Start();
  TNetTCPClient client;
  client.Host = "127.0.0.1";
  client.Port = server.Port();
  client.OpenConnection();
  std::string text;
  EXPECT_THROW(
      {
        while (!client.ReadDotLines(text, 1 << 20)) {
        }
      },
      ENetConnClosedGracefully);
  EXPECT_EQ(text, "a\r\nb\r\n");
}

}  // namespace

#include "net/netbuffer.h"

#include <gtest/gtest.h>

#include <random>

#include "base/netexceptions.h"

namespace {

TEST(NetBuffer, TerminatorSplitAcrossAppendsIsFound) {
  TNetBuffer q;
  q.Append("abc\r");
  EXPECT_EQ(q.Find("\r\n"), TNetBuffer::npos);
  q.Append("\ndef");
  EXPECT_EQ(q.Find("\r\n"), 3u);
}

TEST(NetBuffer, SearchResumesCorrectlyAfterLinesAreTaken) {
  TNetBuffer q;
  q.Append("one\ntwo\nthr");
  ASSERT_EQ(q.Find("\n"), 3u);
  EXPECT_EQ(q.Extract(4), "one\n");
  ASSERT_EQ(q.Find("\n"), 3u);
  EXPECT_EQ(q.Extract(4), "two\n");
  EXPECT_EQ(q.Find("\n"), TNetBuffer::npos);
  q.Append("ee\nfour\n");
  ASSERT_EQ(q.Find("\n"), 5u);
  EXPECT_EQ(q.Extract(6), "three\n");
  EXPECT_EQ(q.Find("\n"), 4u);
}

TEST(NetBuffer, AnotherTerminatorSearchesFromTheStart) {
  TNetBuffer q;
  q.Append("a\r\nb\n");
  EXPECT_EQ(q.Find("\n"), 2u);
  EXPECT_EQ(q.Find("b"), 3u);
  EXPECT_EQ(q.Find("\r\n"), 1u);
  EXPECT_EQ(q.Find("zz"), TNetBuffer::npos);
  EXPECT_EQ(q.Find("a"), 0u);
}

// Lines handed out as views stay intact while further lines are taken, also when the queue
// runs empty; only bytes added later may move them.
TEST(NetBuffer, TakenBytesStayInPlaceUntilMoreArrive) {
  TNetBuffer q;
  q.Append("one\ntwo\n");
  std::string_view first = q.Take(4);
  std::string_view second = q.Take(4);
  EXPECT_TRUE(q.Empty());
  EXPECT_EQ(first, "one\n");
  EXPECT_EQ(second, "two\n");
  q.Append("x\n");
  EXPECT_EQ(q.View(), "x\n");
}

TEST(NetBuffer, TakingMoreThanQueuedFails) {
  TNetBuffer q;
  q.Append("abc");
  char out[4];
  EXPECT_THROW(q.Extract(out, 4), ENetNotEnoughDataInBuffer);
  EXPECT_THROW(q.Extract(4), ENetNotEnoughDataInBuffer);
  EXPECT_THROW(q.Take(4), ENetNotEnoughDataInBuffer);
  EXPECT_THROW(q.Remove(4), ENetNotEnoughDataInBuffer);
  EXPECT_EQ(q.Size(), 3u);
  q.Extract(out, 3);
  EXPECT_EQ(std::string(out, 3), "abc");
  EXPECT_TRUE(q.Empty());
}

TEST(NetBuffer, ReservedRoomKeepsOnlyWhatWasUsed) {
  TNetBuffer q;
  q.Append("xy");
  char* room = q.Reserve(100);
  room[0] = '1';
  room[1] = '\n';
  q.Commit(2);
  EXPECT_EQ(q.View(), "xy1\n");
  q.Reserve(10);
  q.Commit(0);
  EXPECT_EQ(q.Size(), 4u);
}

// Random appends, searches and removals against a plain string: compaction and resumed
// searches must never change what the queue holds or where a terminator is.
TEST(NetBuffer, AgreesWithAPlainStringUnderRandomUse) {
  std::mt19937 rng(7);
  TNetBuffer q;
  std::string model;
  const std::string alphabet = "ab\r\n";
  for (int step = 0; step < 20000; ++step) {
    int op = static_cast<int>(rng() % 3);
    if (op == 0) {
      std::string piece(rng() % 40, ' ');
      for (char& c : piece) c = alphabet[rng() % alphabet.size()];
      q.Append(piece);
      model += piece;
    } else if (op == 1) {
      const std::string term = rng() % 2 ? "\n" : "\r\n";
      ASSERT_EQ(q.Find(term), model.find(term)) << "step " << step;
    } else if (!model.empty()) {
      size_t n = rng() % (model.size() + 1);
      ASSERT_EQ(q.Extract(n), model.substr(0, n));
      model.erase(0, n);
    }
    ASSERT_EQ(q.View(), model);
  }
}

}  // namespace

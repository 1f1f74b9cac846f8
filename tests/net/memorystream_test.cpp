#include "net/memorystream.h"

#include <gtest/gtest.h>

#include <cstring>

#include "base/netexceptions.h"

namespace {

// Filling room in the stream must leave it exactly as a Write of the same bytes would:
// over the bytes at the position, past the end, and nothing of the unused room kept.
TEST(MemoryStream, FilledRoomEqualsAWrite) {
  struct Case {
    const char* before;
    size_t position;
    size_t room;
    const char* filled;
  };
  const Case cases[] = {
      {"", 0, 8, "abc"},        {"abcdef", 2, 10, "XY"}, {"abcdef", 2, 3, "XYZ"},
      {"abcdef", 4, 100, "XYZ"}, {"abc", 3, 5, ""},      {"abcdef", 0, 1 << 20, "0123456789"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.before) + " at " + std::to_string(c.position));
    TNetMemoryStream written, filled;
    for (TNetMemoryStream* s : {&written, &filled}) {
      s->Write(c.before);
      s->SetPosition(c.position);
    }
    written.Write(c.filled);
    char* room = filled.Room(c.room);
    std::memcpy(room, c.filled, std::strlen(c.filled));
    filled.Commit(std::strlen(c.filled));
    EXPECT_EQ(filled.Bytes(), written.Bytes());
    EXPECT_EQ(filled.Position(), written.Position());
  }
}

TEST(MemoryStream, RoomBeyondTheMaximumFails) {
  TNetMemoryStream stream(10);
  stream.Write("12345");
  EXPECT_THROW(stream.Room(6), ENetLimitExceeded);
  EXPECT_EQ(stream.Bytes(), "12345");
  char* room = stream.Room(5);
  std::memcpy(room, "67890", 5);
  stream.Commit(5);
  EXPECT_EQ(stream.Bytes(), "1234567890");
}

// A large body grows its storage many times; the bytes must survive every move.
TEST(MemoryStream, ManyRoomsKeepEveryByte) {
  TNetMemoryStream stream;
  std::string expected;
  for (int i = 0; i < 400; ++i) {
    const std::string piece(1000 + i * 97 % 50000, static_cast<char>('a' + i % 26));
    char* room = stream.Room(piece.size() + 4096);
    std::memcpy(room, piece.data(), piece.size());
    stream.Commit(piece.size());
    expected += piece;
  }
  EXPECT_EQ(stream.Bytes(), expected);
}

}  // namespace

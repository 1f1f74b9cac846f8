#include "mail/headerlist.h"

#include <gtest/gtest.h>

#include "mail/mailaddress.h"
#include "mail/maildate.h"
#include "base/netexceptions.h"
#include "mail/stringlinereader.h"
#include "platform/timezone.h"

namespace {

TNetHeaderList List(std::initializer_list<const char*> lines) {
  TNetHeaderList h;
  for (const char* l : lines) h.Add(l);
  return h;
}

TEST(HeaderLookup, NameWithoutRegardToCaseFirstOccurrenceWins) {
  TNetHeaderList h =
      List({"SUBJECT: first", "subject: second", "X-Empty:", "Weird line", "To:   a@b"});
  EXPECT_EQ(h.Value("Subject"), "first");
  EXPECT_EQ(h.Value("x-empty"), "");
  EXPECT_EQ(h.Value("To"), "a@b");
  EXPECT_EQ(h.Value("Missing"), "");
  EXPECT_EQ(h.Value("Subj"), "");
}

TEST(HeaderLookup, UnfoldsContinuationLines) {
  TNetHeaderList h = List({"Subject: Order", "\t  number 12", " ", "  and more", "From: x",
                           "To: a@b, ", "  c@d", "", " not part of it"});
  // One space between, none added after a value that already ends in a blank; an empty line
  // ends the value.
  EXPECT_EQ(h.Value("subject"), "Order number 12 and more");
  EXPECT_EQ(h.Value("To"), "a@b, c@d");
  EXPECT_EQ(h.Lines.size(), 9u);  // kept as read
}

TEST(MailAddress, ParsesTheUsualForms) {
  auto a = ParseAddress(" \"Shop, Inc.\" <order@shop.example> ");
  EXPECT_EQ(a.Name, "Shop, Inc.");
  EXPECT_EQ(a.Address, "order@shop.example");
  a = ParseAddress("order@shop.example (Shop)");
  EXPECT_EQ(a.Name, "Shop");
  EXPECT_EQ(a.Address, "order@shop.example");
  a = ParseAddress("order@shop.example");
  EXPECT_EQ(a.Name, "");
  EXPECT_EQ(a.Address, "order@shop.example");

  auto list = ParseAddressList("\"B, A\" <a@x>, c@y (C, D),, <e@z>");
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0].Address, "a@x");
  EXPECT_EQ(list[1].Name, "C, D");
  EXPECT_EQ(list[2].Address, "e@z");
  EXPECT_TRUE(ParseAddressList(" , ").empty());
}

bool Same(const platform::LocalDateTime& a, const platform::LocalDateTime& b) {
  return a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour &&
         a.minute == b.minute && a.second == b.second;
}

TEST(MailDate, ConvertsTheZoneToLocalTime) {
  // 2024-10-01 03:34:56 UTC.
  const platform::LocalDateTime expected = platform::LocalTimeOf(1727753696);
  for (const char* v : {"Tue, 01 Oct 2024 12:34:56 +0900", "1 Oct 2024 03:34:56 GMT",
                        "Mon, 30 Sep 2024 23:34:56 -0400 (EDT)", "tue, 1 oct 24 12:34:56 JST",
                        "Tue,1 Oct 2024 03:34:56", "Mon, 30 Sep 2024 20:34:56 PDT"})
    EXPECT_TRUE(Same(ParseMailDate(v), expected)) << v;
  // Seconds are optional; a leap day is a day.
  EXPECT_TRUE(Same(ParseMailDate("29 Feb 2024 00:00 +0000"), platform::LocalTimeOf(1709164800)));
}

TEST(MailDate, UnreadableValuesGiveTheEmptyDate) {
  for (const char* v : {"", "yesterday", "32 Oct 2024 10:00 +0900", "29 Feb 2023 10:00 +0900",
                        "1 Foo 2024 10:00 +0900", "1 Oct 2024 25:00 +0900", "1 Oct 2024 10 +0900"})
    EXPECT_TRUE(Same(ParseMailDate(v), platform::LocalDateTime{})) << v;
}

TEST(StringLineReader, DeliversLinesLikeAConnection) {
  TNetStringLineReader r("a\r\nb\n\r\nc\r\r\nd");
  EXPECT_EQ(r.ReadLn(), "a");
  EXPECT_EQ(r.ReadLn(), "b");
  EXPECT_EQ(r.ReadLn(), "");
  EXPECT_EQ(r.ReadLn(), "c\r");  // CR CR LF loses one CR
  // "d" has no line end: it is never delivered.
  EXPECT_THROW(r.ReadLn(), ENetConnClosedGracefully);
}

}  // namespace

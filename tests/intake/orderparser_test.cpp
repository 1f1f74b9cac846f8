#include <gtest/gtest.h>

#include "base/errors.h"
#include "base/sjisliteral.h"
#include "intake/orderparser.h"
#include "support/testing.h"

namespace {

using testing_support::Show;

struct TItemBlockCall {
  std::string section, orderTime, prefecture;
};

// What the parser found, in the order found: "items" per item block, "end" after a mail
// that is not ignored.
struct TRecordingHost {
  std::vector<TItemBlockCall> blocks;
  std::vector<std::string> steps;
};

// Reads the mail and records what it holds; the shop name changes only when the mail has one.
void ParseOrderMail(const std::string& text, std::string& shop, TRecordingHost& host) {
  const TOrderMail mail = ::ParseOrderMail(text);
  if (mail.ignored) return;
  if (mail.shopName) shop = *mail.shopName;
  for (const TItemBlock& block : mail.itemBlocks) {
    host.blocks.push_back({block.section, block.orderTime, block.prefecture});
    host.steps.push_back("items");
  }
  host.steps.push_back("end");
}

// The lines of a mail, UTF-8 in the source, as the parser receives it: Shift-JIS, CR LF.
std::string Mail(const std::vector<std::string>& lines, const std::string& quote = "") {
  std::string text;
  for (const auto& line : lines) text += quote + line + "\r\n";
  return Sjis(text);
}

const std::vector<std::string> kOrderMail = {
    "[受注番号] 123456-20161024-0000000001",
    "[日時]     2016-10-24 09:05:33",
    "■ ショップ名 ： 桜商店",
    "[注文者] 山田 太郎 様",
    "         〒100-0001 東京都千代田区千代田1-1",
    "         (TEL) 03-1234-5678",
    "[送付先] 山田 太郎 様",
    "         〒530-0001 大阪府大阪市北区梅田1-1",
    "[商品]",
    "桜のマグカップ (mug-001)",
    "価格  1200(円) x 2(個) = 2400(円)",
    "**********",
    "[合計] 2400(円)",
};

const std::string kOrderSection = Sjis(
    "[商品]\r\n"
    "桜のマグカップ (mug-001)\r\n"
    "価格  1200(円) x 2(個) = 2400(円)\r\n");

const std::vector<std::string> kAllSteps = {"items", "end"};

TEST(ParseOrderMail, ReadsShopTimePrefectureAndItemBlockThenSavesRendersPublishes) {
  TRecordingHost host;
  std::string shop;
  ParseOrderMail(Mail(kOrderMail), shop, host);
  // The shop-name line begins with the marker, so its closing blank is kept.
  EXPECT_EQ(Show(shop), " 桜商店");
  ASSERT_EQ(host.blocks.size(), 1u);
  EXPECT_EQ(Show(host.blocks[0].section), Show(kOrderSection));
  EXPECT_EQ(host.blocks[0].orderTime, "10/24 09:05");
  EXPECT_EQ(Show(host.blocks[0].prefecture), "東京都");
  EXPECT_EQ(host.steps, kAllSteps);
}

TEST(ParseOrderMail, SecondDeliveryAddressStopsEverything) {
  auto lines = kOrderMail;
  lines.insert(lines.begin() + 8, "[送付先] 山田 花子 様");
  TRecordingHost host;
  std::string shop = "previous";
  ParseOrderMail(Mail(lines), shop, host);
  EXPECT_EQ(shop, "previous");
  EXPECT_TRUE(host.steps.empty());

  // Without its blank the header is not counted.
  lines[8] = "[送付先]山田 花子 様";
  ParseOrderMail(Mail(lines), shop, host);
  EXPECT_EQ(host.steps, kAllSteps);
}

TEST(ParseOrderMail, MailQuotedOnceParsesLikeThePlainMail) {
  TRecordingHost plain, quoted;
  std::string plainShop, quotedShop;
  ParseOrderMail(Mail(kOrderMail), plainShop, plain);
  ParseOrderMail(Mail(kOrderMail, "> "), quotedShop, quoted);
  EXPECT_EQ(quotedShop, plainShop);
  ASSERT_EQ(quoted.blocks.size(), 1u);
  EXPECT_EQ(Show(quoted.blocks[0].section), Show(plain.blocks[0].section));
  EXPECT_EQ(quoted.blocks[0].orderTime, plain.blocks[0].orderTime);
  EXPECT_EQ(quoted.blocks[0].prefecture, plain.blocks[0].prefecture);
  EXPECT_EQ(quoted.steps, kAllSteps);
}

TEST(ParseOrderMail, MailQuotedTwiceKeepsOneQuoteBelowTheItemLine) {
  TRecordingHost host;
  std::string shop;
  ParseOrderMail(Mail(kOrderMail, "> > "), shop, host);
  EXPECT_EQ(Show(shop), " 桜商店");
  ASSERT_EQ(host.blocks.size(), 1u);
  EXPECT_EQ(host.blocks[0].orderTime, "10/24 09:05");
  EXPECT_EQ(Show(host.blocks[0].prefecture), "東京都");
  // The section is cut when the pass reaches "[商品]": the lines below still carry "> ".
  EXPECT_EQ(Show(host.blocks[0].section),
            "[商品]\r\n"
            "> 桜のマグカップ (mug-001)\r\n"
            "> 価格  1200(円) x 2(個) = 2400(円)\r\n"
            "> \r\n");
}

TEST(ParseOrderMail, ShopNameIsKeptForMailsWithoutOne) {
  std::string shop;
  TRecordingHost host;
  ParseOrderMail(Mail(kOrderMail), shop, host);
  auto lines = kOrderMail;
  lines.erase(lines.begin() + 2);
  ParseOrderMail(Mail(lines), shop, host);
  EXPECT_EQ(Show(shop), " 桜商店");

  lines.insert(lines.begin() + 1, "■ ショップ名 ： 梅商店 本店");
  ParseOrderMail(Mail(lines), shop, host);
  EXPECT_EQ(Show(shop), " 梅商店 本店");
}

TEST(ParseOrderMail, ReadsTheOrderTime) {
  struct Case {
    std::string line, expected;
  };
  const std::vector<Case> cases = {
      {"[日時]     2016-10-24 09:05:33", "10/24 09:05"},
      {"[日時]     2016/1/2 9:5", "01/02 09:05"},
      {"[日時]     2016-02-29 23:59:59", "02/29 23:59"},
      {"[日時]     2000-02-29 00:00", "02/29 00:00"},
      {"[日時]     2016-12-31 00:00:00   ", "12/31 00:00"},
      // Only 40 bytes are read: what follows them does not matter.
      {"[日時]     2016-10-24 09:05:33                     (JST)", "10/24 09:05"},
  };
  for (const auto& c : cases) {
    TRecordingHost host;
    std::string shop;
    ParseOrderMail(Mail({c.line, "[商品]", "x", "**********"}), shop, host);
    ASSERT_EQ(host.blocks.size(), 1u) << c.line;
    EXPECT_EQ(host.blocks[0].orderTime, c.expected) << c.line;
  }
}

TEST(ParseOrderMail, UnreadableOrderTimeFailsNamingTheText) {
  const std::vector<std::string> dates = {
      "2015-02-29 09:05:33", "2016-13-01 09:05", "2016-00-10 09:05", "2016-04-31 09:05",
      "2016-10-24 24:00",    "2016-10-24 09:60", "2016-10-24 09:05:60", "2016-10-24",
      "2016-10-24 09:05 JST", "16-10-24 09:05",  "2016-10-24T09:05", "",
  };
  for (const auto& date : dates) {
    TRecordingHost host;
    std::string shop;
    const std::string mail = Mail({"[日時]     " + date, "[商品]", "x", "**********"});
    try {
      ParseOrderMail(mail, shop, host);
      ADD_FAILURE() << "accepted '" << date << "'";
    } catch (const EConvertError& e) {
      std::string read = date;
      for (char& c : read) if (c == '-') c = '/';
      EXPECT_EQ(Show(e.what()), "'" + read + "' は正しい日付と時刻ではありません");
    }
    EXPECT_TRUE(host.steps.empty()) << date;
  }
  // A bare "[日時]" line has nothing from position 12 on.
  TRecordingHost host;
  std::string shop;
  EXPECT_THROW(ParseOrderMail(Mail({"[日時]"}), shop, host), EConvertError);
}

TEST(ParseOrderMail, DateLineAfterTheItemLineComesTooLate) {
  auto lines = kOrderMail;
  lines.erase(lines.begin() + 1);
  lines.push_back("[日時]     2016-10-24 09:05:33");
  TRecordingHost host;
  std::string shop;
  ParseOrderMail(Mail(lines), shop, host);
  ASSERT_EQ(host.blocks.size(), 1u);
  EXPECT_EQ(host.blocks[0].orderTime, "");
  EXPECT_EQ(host.steps, kAllSteps);
}

TEST(ParseOrderMail, EveryItemLineRunsTheItemStageOnTheFirstSection) {
  auto lines = kOrderMail;
  lines.push_back("[商品] (その他)");
  lines.push_back("**********");
  TRecordingHost host;
  std::string shop;
  ParseOrderMail(Mail(lines), shop, host);
  ASSERT_EQ(host.blocks.size(), 2u);
  EXPECT_EQ(Show(host.blocks[0].section), Show(kOrderSection));
  EXPECT_EQ(Show(host.blocks[1].section), Show(kOrderSection));
  EXPECT_EQ(host.steps, (std::vector<std::string>{"items", "items", "end"}));
}

TEST(ParseOrderMail, MarkerBytesInsideACharacterAreNoMarker) {
  auto lines = kOrderMail;
  // "ー" is 81 5B: the bytes of "[商品]" follow its lead byte.
  lines.insert(lines.begin() + 10, "[スーパー商品]");
  TRecordingHost host;
  std::string shop;
  ParseOrderMail(Mail(lines), shop, host);
  EXPECT_EQ(host.blocks.size(), 1u);
}

TEST(ParseOrderMail, SectionEndsAtTheFirstAsterisksAfterTheItemLine) {
  struct Case {
    std::string name;
    std::vector<std::string> lines;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"no asterisks", {"[商品]", "桜 (a)", "価格  1(円) x 1(個)"}, ""},
      {"asterisks first", {"**********", "[商品]", "桜 (a)", "価格  1(円) x 1(個)"}, ""},
      {"asterisks on the item line", {"[商品]**********"}, "[商品]\r\n"},
      {"line breaks made uniform", {"[商品]\r桜 (a)\n価格", "**********"}, "[商品]\r\n桜 (a)\r\n価格\r\n"},
  };
  for (const auto& c : cases) {
    TRecordingHost host;
    std::string shop;
    ParseOrderMail(Mail(c.lines), shop, host);
    ASSERT_EQ(host.blocks.size(), 1u) << c.name;
    EXPECT_EQ(Show(host.blocks[0].section), c.expected) << c.name;
  }
}

TEST(ParseOrderMail, OrdererBlockNeedsItsTwoLines) {
  for (size_t missing : {1u, 2u}) {
    std::vector<std::string> lines(kOrderMail.begin(), kOrderMail.begin() + 6 - missing);
    TRecordingHost host;
    std::string shop;
    EXPECT_THROW(ParseOrderMail(Mail(lines), shop, host), EVendlumeError) << missing;
    EXPECT_TRUE(host.steps.empty());
  }
}

TEST(ParseOrderMail, PrefectureComesFromThePostalLine) {
  struct Case {
    std::string postalLine, expected;
  };
  const std::vector<Case> cases = {
      {"〒220-0012 神奈川県横浜市西区", "神奈川県"},
      {"   〒060-0001 北海道札幌市中央区", "北海道"},
      // Without the mark the address starts at byte 11.
      {"1000001   東京都港区", "東京都"},
      {"〒100-0001", "国外"},
      {"", "国外"},
  };
  for (const auto& c : cases) {
    TRecordingHost host;
    std::string shop;
    ParseOrderMail(Mail({"[注文者] 山田 様", c.postalLine, "(TEL) 03", "[商品]", "**********"}), shop, host);
    ASSERT_EQ(host.blocks.size(), 1u);
    EXPECT_EQ(Show(host.blocks[0].prefecture), c.expected) << c.postalLine;
  }
  TRecordingHost host;
  std::string shop;
  ParseOrderMail(Mail({"[商品]", "**********"}), shop, host);
  EXPECT_EQ(host.blocks.at(0).prefecture, "");
}

TEST(ParseOrderMail, TextEndingInsideACharacterOrMarker) {
  const std::vector<std::string> tails = {"\x83", "[", Sjis("[商"), "\x8F", "**", Sjis("■ ショップ")};
  for (const auto& tail : tails) {
    TRecordingHost host;
    std::string shop;
    ParseOrderMail(Mail({"[商品]", "a (b)", "**********"}) + tail, shop, host);
    EXPECT_EQ(host.blocks.size(), 1u) << Show(tail);
    EXPECT_EQ(host.steps.back(), "end");
  }
  TRecordingHost host;
  std::string shop;
  ParseOrderMail("", shop, host);
  EXPECT_EQ(host.steps, (std::vector<std::string>{"end"}));
}

TEST(ParseOrderMail, AnOrderWithoutItemLineIsUnusableOtherMailsAreNot) {
  struct Case {
    std::string name;
    std::vector<std::string> lines;
    bool unusable;
  };
  const std::vector<Case> cases = {
      {"orderer block alone", {"[注文者] 山田 様", "〒100-0001 東京都", "(TEL) 03"}, true},
      {"newsletter", {"今月のおすすめ", "[ニュース] 新商品"}, false},
      {"empty mail", {}, false},
      {"two delivery addresses stay ignored", {"[注文者] 山田 様", "〒", "(TEL)", "[送付先] a", "[送付先] b"}, false},
  };
  for (const Case& c : cases) {
    TRecordingHost host;
    std::string shop;
    if (c.unusable) {
      EXPECT_THROW(ParseOrderMail(Mail(c.lines), shop, host), EVendlumeError) << c.name;
    } else {
      EXPECT_NO_THROW(ParseOrderMail(Mail(c.lines), shop, host)) << c.name;
      EXPECT_TRUE(host.blocks.empty()) << c.name;
    }
  }
  TRecordingHost host;
  std::string shop;
  EXPECT_NO_THROW(ParseOrderMail(Mail(kOrderMail), shop, host));
}

TEST(GetPrefecture, TakesTheHeadOfTheAddress) {
  struct Case {
    std::string address, expected;
  };
  const std::vector<Case> cases = {
      {"東京都千代田区", "東京都"},
      {"北海道札幌市", "北海道"},
      {"京都府京都市", "京都府"},
      {"神奈川県横浜市", "神奈川県"},
      {"和歌山県和歌山市", "和歌山県"},
      {"鹿児島県鹿児島市", "鹿児島県"},
      {"静岡県浜松市", "静岡県"},
      {"1-1 Chiyoda Tokyo", "国外"},
      {"東京都鹿児島県", "東京都鹿"},  // a long name anywhere makes the head four characters
      {"東京", "国外"},
      {"", "国外"},
      // The head never ends in half a character.
      {"A県東京都", "A県東"},
      {"ｱｲ県東京都", "ｱｲ県東"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Show(GetPrefecture(Sjis(c.address))), c.expected) << c.address;
  }
}

}  // namespace

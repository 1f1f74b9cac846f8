// The order-notification mail of the mall: from its text to the shop's name, the order
// time, the buyer's prefecture and the block of ordered items.
#pragma once
#include <optional>
#include <string>
#include <vector>

// One item block of a mail: from its "[商品]" line up to the asterisk line, each line
// followed by CR LF, with the order time ("mm/dd hh:nn" or "") and the prefecture (or "")
// as they stood when the pass reached the "[商品]" line.
struct TItemBlock {
  std::string section, orderTime, prefecture;
};

// What one order mail holds.
struct TOrderMail {
  // Two or more delivery addresses: the mail is not shown at all.
  bool ignored = false;
  // The shop's name from the mail's shop-name line, when it has one.
  std::optional<std::string> shopName;
  // One block per line holding "[商品]", in mail order.
  std::vector<TItemBlock> itemBlocks;
};

// Reads one mail: Shift-JIS text, lines ending in CR LF, ASCII commas already removed.
// Changes nothing: the caller looks the items up, adds the rows and saves them.
// Throws EConvertError for an order time that is not a date and time and EVendlumeError
// when the orderer block lacks its lines, or when the text holds "[商品]" or "[注文者]"
// but no line holds "[商品]": such a mail is an order that cannot be read, never one to
// drop.
TOrderMail ParseOrderMail(const std::string& text);

// The prefecture at the head of an address (東京都, 神奈川県 …), or "国外" when the head
// names none. The head is never cut inside a character.
std::string GetPrefecture(const std::string& address);

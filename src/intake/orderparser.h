// The order-notification mail of the mall: from its text to the shop's name, the order
// time, the buyer's prefecture and the block of ordered items.
#pragma once
#include <string>

// What the parser hands on; the controller implements it.
class TOrderMailHost {
 public:
  virtual ~TOrderMailHost() = default;
  // The item block of the mail (from its "[商品]" line up to the asterisk line, each line
  // followed by CR LF), the order time ("mm/dd hh:nn" or "") and the prefecture (or "").
  virtual void AddItemBlock(const std::string& section, const std::string& orderTime,
                            const std::string& prefecture) = 0;
  virtual void SaveRecentOrders() = 0;
  virtual void RenderStatusPage() = 0;
  virtual void PublishPage() = 0;
};

// Parses one mail: Shift-JIS text, lines ending in CR LF, ASCII commas already removed.
// A mail with two or more delivery addresses is ignored whole. Otherwise sets shopName when
// the mail has a shop-name line, calls AddItemBlock for each line holding "[商品]", then
// SaveRecentOrders, RenderStatusPage and PublishPage in that order.
// Catches nothing; throws EConvertError for an order time that is not a date and time and
// EVendlumeError when the orderer block lacks its lines; nothing after the failure is done.
void ParseOrderMail(const std::string& text, std::string& shopName, TOrderMailHost& host);

// The prefecture at the head of an address (東京都, 神奈川県 …), or "国外" when the head
// names none. The head is never cut inside a character.
std::string GetPrefecture(const std::string& address);

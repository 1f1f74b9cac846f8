// The item stage: cuts the item block of an order mail into items and adds one row per
// complete item to the top of the recent-orders list.
//
// The rows it builds read back from their lines unchanged (intake/recentorders.h): the bare
// fields' blanks, control bytes, commas and double quotes become full-width, the cells'
// double quotes single quotes and their line breaks blanks.
#pragma once
#include <string>

#include "base/settingsrecord.h"
#include "intake/itemlookup.h"
#include "intake/recentorders.h"

class TItemStage {
 public:
  // The list, the lookup and the settings stay the caller's; Count is read at each insertion.
  TItemStage(TRecentOrders& recentOrders, TProductLookup& lookup, const TSettings& settings);

  // The block from its "[商品]" line on; items are separated by lines of ten hyphens.
  // Throws EVendlumeError for an empty block or a malformed item; rows added for earlier
  // items stay.
  void AddItemBlock(const std::string& section, const std::string& orderTime, const std::string& prefecture);

  // One item: the name line (possibly split over several lines, ending in "(code)"), then
  // any option lines, then the price line. Adds no row when the order time, the prefecture
  // or any field read from the item is empty. Throws like AddItemBlock.
  void AddItemRow(const std::string& itemText, const std::string& orderTime, const std::string& prefecture);

  // The rows this stage has added so far.
  int RowsAdded() const { return rowsAdded_; }

 private:
  TRecentOrders& recentOrders_;
  TProductLookup& lookup_;
  const TSettings& settings_;
  int rowsAdded_ = 0;
};

// The item stage's view of the product lookup on the mall's search and review pages.
#pragma once
#include <string>
#include <string_view>

// The cells a row holds when a lookup has nothing to show: the image cell of a search that
// failed, and the review cell when there are no review figures.
inline constexpr std::string_view kFailedLookupCell = " ";
inline constexpr std::string_view kNoReviewCell = "-";

// What a lookup answers.
struct TLookupResult {
  enum TOutcome {
    kFound,    // cell is the markup of what was found
    kNothing,  // the mall has nothing to show; cell is the cell standing for that, if any
    kFailed,   // the page could not be had or read (already logged); cell is empty
  };
  TOutcome outcome = kNothing;
  std::string cell;

  bool operator==(const TLookupResult&) const = default;
};

class TProductLookup {
 public:
  virtual ~TProductLookup() = default;
  // Forgets the review page found for an earlier item.
  virtual void ClearReviewPageUrl() = 0;
  // The image cell for the item code; kNothing (no cell) when the search found nothing.
  // Never throws.
  virtual TLookupResult LookupByCode(const std::string& code) = 0;
  // The image cell for the item name; kNothing with the no-picture cell when the search
  // found nothing. Never throws.
  virtual TLookupResult LookupByName(const std::string& name) = 0;
  // The review cell of the review page the last search found; kNothing when there is none
  // or a figure is missing, kFailed when the page cannot be fetched or read. Never throws.
  virtual TLookupResult LookupReviews() = 0;
};

// No lookup at all: every item gets an empty image cell and no review figures.
class TNoProductLookup : public TProductLookup {
 public:
  void ClearReviewPageUrl() override {}
  TLookupResult LookupByCode(const std::string&) override { return {TLookupResult::kFound, ""}; }
  TLookupResult LookupByName(const std::string&) override { return {TLookupResult::kFound, ""}; }
  TLookupResult LookupReviews() override { return {}; }
};

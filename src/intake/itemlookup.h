// The item stage's view of the product lookup on the mall's search and review pages.
#pragma once
#include <string>

class TProductLookup {
 public:
  virtual ~TProductLookup() = default;
  // Forgets the review page found for an earlier item.
  virtual void ClearReviewPageUrl() = 0;
  // The image cell for the item code; "(該当なし)" when the search found nothing, " " when
  // the lookup failed. Never throws.
  virtual std::string LookupByCode(const std::string& code) = 0;
  // The image cell for the item name; the no-picture image tag when the search found
  // nothing, " " when the lookup failed. Never throws.
  virtual std::string LookupByName(const std::string& name) = 0;
  // The review cell of the review page the last lookup found, or "-". Throws when the
  // review page cannot be fetched or converted.
  virtual std::string LookupReviews() = 0;
};

// No lookup at all: every item gets an empty image cell and no review figures.
class TNoProductLookup : public TProductLookup {
 public:
  void ClearReviewPageUrl() override {}
  std::string LookupByCode(const std::string&) override { return ""; }
  std::string LookupByName(const std::string&) override { return ""; }
  std::string LookupReviews() override { return "-"; }
};

// Product lookup on the mall's public pages: the search page gives the first result's
// photo link (the image cell of a row) and the address of its review page; the review page
// gives the stars, average score and review count (the review cell).
//
// Every cell returned is built from its parts (publish/pagecell.h): one line of Shift-JIS
// text without any double quote, so that it fits between the quotes of its row field. A
// result whose link or image is not safe to show gives the no-picture cell.
// The lookups catch every failure of their own and log it; a failure of the log itself
// reaches their caller.
#pragma once
#include <functional>
#include <string>

#include "base/settingsrecord.h"
#include "intake/itemlookup.h"

// The base address of a mall host setting: the setting itself when it names its scheme
// ("https://search.example.jp"; a trailing "/" dropped), else "http://" + the setting.
std::string MallAddress(const std::string& host);

// The cell standing for an item without a picture to show (publish/pagecell.h builds the
// others).
std::string NoPictureCell(const TMallHosts& hosts);

class TMallLookup : public TProductLookup {
 public:
  // A GET of the address: the page body, or an exception when the page cannot be had.
  using TPageFetch = std::function<std::string(const std::string& url)>;
  // Appends an event with the code to the event log.
  using TWriteLog = std::function<void(int code)>;

  // pageFetch: the simple fetcher (time-out, any answer's body taken as the page), used by
  // the by-code search. netFetch: the HTTP client, used by the by-name search and the review
  // page. The shop name and the hosts stay the caller's and are read at each lookup.
  TMallLookup(TPageFetch pageFetch, TPageFetch netFetch, TWriteLog writeLog, const std::string& shopName,
              const TMallHosts& hosts);

  void ClearReviewPageUrl() override;

  // Searches for the shop name plus the code ("-" becomes "―"). The image cell; kNothing
  // when the page has no result; kFailed when the first result has no complete photo link or
  // the search failed (only the failure logged, with code 3). Sets the review page address
  // when the first result shows a review icon.
  TLookupResult LookupByCode(const std::string& code) override;

  // Searches for the shop name plus the name ("/", "-" and "." become full-width). The image
  // cell (an anchor without its closing tag); kNothing with the no-picture image tag when the
  // page has no result; kFailed as for LookupByCode (logged with code 4). Takes the review
  // page address only when none is known yet (empty or "Error").
  TLookupResult LookupByName(const std::string& name) override;

  // The review cell of the review page found by the last search: star image (shown at
  // 12 by 12), average score and review count; kNothing when no address is known or a figure
  // is missing; kFailed, logged with code 2, when the page cannot be fetched or converted.
  TLookupResult LookupReviews() override;

  // Empty, the address of the current item's review page, or "Error" when the search page's
  // review link was incomplete.
  const std::string& ReviewPageUrl() const { return reviewPageUrl_; }

 private:
  std::string SearchUrl(const std::string& keyword) const;

  TPageFetch pageFetch_;
  TPageFetch netFetch_;
  TWriteLog writeLog_;
  const std::string& shopName_;
  const TMallHosts& hosts_;
  std::string reviewPageUrl_;
};

// The status page "item.html": the recent-orders list as an HTML table that reloads itself
// every 40 seconds, in the columns, colours and sizes of the settings.
#pragma once
#include <string>

#include "base/settingsrecord.h"
#include "intake/recentorders.h"

// The unit price as the page shows it: a decimal whole number (optional sign) grouped in
// threes with the locale's thousands separator ("1980" gives "1,980"). Text that is not such
// a number within 32 bits ("Error", "") gives "". Never throws.
std::string FormatPrice(const std::string& price);

// The page's bytes: Shift-JIS lines, each ended by CR LF. One table row per list row, in list
// order; a damaged row is left out. The text cells (date, name, code,
// prefecture, quantity) are HTML-escaped; the image and review cells are HTML and go in only
// when they are cells the program builds (publish/pagecell.h), else as the no-picture cell
// and "-". The credit is left out on a house machine.
// Throws EConvertError when a colour setting is not colour text (publish/colortext.h).
std::string BuildStatusPage(const TRecentOrders& rows, const TSettings& settings,
                            bool houseMachine);

// Builds the page and replaces the file at path with it in one step (base/files.h). On any
// failure the error propagates and an existing file stays as it was.
void RenderStatusPage(const TRecentOrders& rows, const TSettings& settings,
                      bool houseMachine, const std::string& path);

// The lookup and review cells of the status page. Every such cell is written here, from
// its parts, in the program's own markup; nothing from the mall's pages reaches the page as
// markup. The page checks each stored cell against the same grammar before it shows it.
//
// Cells are Shift-JIS text on one line without any double quote. The markup bytes looked at
// here all lie below 40 (hex), where no Shift-JIS trail byte lies, so byte-wise passes are
// safe.
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// One attribute of an image tag: alt (plain text), src (an address), or border, width or
// height (digits, which alone may go unquoted).
struct TCellAttribute {
  std::string name;
  std::string value;
  bool quoted = true;

  bool operator==(const TCellAttribute&) const = default;
};

// The photo cell: the image, inside a link to the item when itemAddress is given. The
// by-code cell closes its link; the by-name cell leaves the "</a>" off.
struct TPhotoCellParts {
  std::string itemAddress;
  std::vector<TCellAttribute> image;
  bool closeLink = true;
  std::string origin;  // "scheme://host" the page's "/..." addresses are relative to, if any
};

// The review cell: the stars image (none when empty), the average score and the count.
struct TReviewCellParts {
  std::vector<TCellAttribute> stars;
  std::string average;
  std::string count;
  std::string origin;
};

// Text made safe inside and outside quoted attributes: & < > " become entities.
std::string EscapeHtml(std::string_view text);

// The address when it is an absolute http: or https: address, or a "/..." address made
// absolute with origin; nothing for any other scheme, a "//host" address, or one holding a
// quote, "<", ">", a backslash, a blank or a control byte.
std::optional<std::string> SafeAddress(std::string_view address, std::string_view origin);

// The attributes of the tag whose name ends at text[pos], up to its closing ">" (values
// in single or double quotes or bare; a name without value gets an empty bare value). pos
// is left after the ">". Nothing when the tag does not end. Values are as written.
std::optional<std::vector<TCellAttribute>> TagAttributes(std::string_view text, size_t& pos);

// The attribute list with its alt values read as text (entities of EscapeHtml decoded).
std::vector<TCellAttribute> WithAltAsText(std::vector<TCellAttribute> attributes);

// The photo cell; nothing when the item address or the image is not safe to show (then the
// no-picture cell stands instead).
std::optional<std::string> PhotoCell(const TPhotoCellParts& parts);

// The review cell; an image that is not safe to show is left out, the figures stay.
std::string ReviewCell(const TReviewCellParts& parts);

// The stored cell when it is one the builders write (or plain escaped text), else the
// no-picture cell for a lookup cell and "-" for a review cell.
std::string CheckedLookupCell(const std::string& cell, const std::string& noPictureCell);
std::string CheckedReviewCell(const std::string& cell);

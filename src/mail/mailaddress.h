// Mail addresses of header fields such as "From" and "To".
#pragma once
#include <string>
#include <string_view>
#include <vector>

struct TNetEmailAddressItem {
  std::string Name;     // the display name, without enclosing double quotes
  std::string Address;  // the address proper, "user@host"
};

// One address: "Name <user@host>", "user@host (Name)" or "user@host".
TNetEmailAddressItem ParseAddress(std::string_view text);
// Addresses separated by commas (commas inside double quotes, angle brackets or
// parentheses do not separate); empty entries are left out.
std::vector<TNetEmailAddressItem> ParseAddressList(std::string_view text);

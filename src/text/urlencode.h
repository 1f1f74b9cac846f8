// Search keywords encoded for an address path.
#pragma once
#include <string>
#include <string_view>

// Keyword encoding for an address path: letters, digits and ! $ ' ( ) * - . @ _ stay, a
// blank becomes "+", every other byte "%" and two upper-case hexadecimal digits.
std::string UrlEncode(std::string_view text);

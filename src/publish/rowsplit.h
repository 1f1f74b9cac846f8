// Reading a recent-orders row back into its fields (date, name, code, lookup, prefecture,
// price, quantity, review).
#pragma once
#include <string>
#include <string_view>
#include <vector>

// Splits a row: the text ends at its first NUL; characters with codes 1 to 32 before a
// field and around a comma are skipped. A field in double quotes runs to the next single
// double quote (a doubled one stands for one quote) and loses its quotes; any other field
// runs up to the next character with a code of 32 or less or a comma, so a blank outside
// quotes also ends a field. Two commas in a row give an empty field; a comma at the very end
// adds none. Shift-JIS double-byte characters are stepped over whole.
std::vector<std::string> SplitRow(std::string_view row);

// Whole-number text: how number boxes, settings and colour numbers are read.
//   optional leading blanks (space only), then either
//   - an optional "-" or "+" and decimal digits within the 32-bit signed range, or
//   - a hexadecimal prefix ("$", "x", "X", "0x", "0X") and 1 to 8 hex digits, taken as a
//     32-bit pattern ("$FFFFFFFF" is -1);
//   nothing may follow the digits.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

std::optional<int32_t> TryStrToInt(std::string_view text);
// Throws EConvertError "'%s' は整数ではありません" when the text is not a whole number.
int32_t StrToInt(std::string_view text);
// The whole-number text, or the default when it is not one.
int32_t StrToIntDef(std::string_view text, int32_t def);
std::string IntToStr(int64_t value);

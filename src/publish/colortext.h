// Colour text: how the page colours (Font, Back, HoverFont, HoverBack) are stored.
// A colour is a 32-bit value: 0x00BBGGRR for red, green and blue bytes, 0x80000000 + n for
// the system colour with index n, 0x1FFFFFFF (clNone) for no colour. Its text is either one
// of 42 identifiers (clBlack … clWhite, clScrollBar … clInfoBk, clNone; letter case does not
// matter) or a whole number ("$00FFFFFF", also decimal, see base/numtext.h).
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

// The colour the text names. Throws EConvertError ("'%s' は整数ではありません") when the text
// is neither an identifier nor a whole number.
int32_t StringToColor(std::string_view text);

// The colour's identifier when one has exactly this value, otherwise "$" and eight
// upper-case hexadecimal digits ("$00FF8000").
std::string ColorToString(int32_t color);

// The colour as 0x00BBGGRR: a system colour (top bit set) is the platform's current colour
// of index (color AND 0xFF); any other value keeps its low three bytes.
uint32_t ColorToRGB(int32_t color);

// "#RRGGBB" (upper-case digits) for the page: "$000080FF" gives "#FF8000", clNone "#FFFFFF".
// Throws like StringToColor.
std::string ColorToHtml(std::string_view text);

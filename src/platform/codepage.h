// Code page 932 (Shift-JIS, Microsoft's mapping: 81 5C is U+2015, 81 60 is U+FF5E).
#pragma once
#include <string>
#include <string_view>

namespace platform {

// Invalid byte sequences become "?" (one per byte that starts no valid character).
std::u16string Cp932ToUtf16(std::string_view sjis);
// Characters without a code page 932 form become "?".
std::string Utf16ToCp932(std::u16string_view text);
// Shift-JIS bytes as UTF-8 text, for the console and the UTF-8 world outside the program.
std::string Cp932ToUtf8(std::string_view sjis);

}  // namespace platform

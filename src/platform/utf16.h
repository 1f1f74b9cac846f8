// UTF-8 <-> UTF-16 conversions (portable), beside code page 932 (platform/codepage.h): the
// Windows W functions take UTF-16, and the Shift-JIS literals are converted through it.
#pragma once
#include <string>
#include <string_view>

// Malformed UTF-8 sequences become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view utf8);
// Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view utf16);

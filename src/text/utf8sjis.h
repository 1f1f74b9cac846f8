// UTF-8 <-> Shift-JIS for the mall's search pages, which speak UTF-8 while the system works
// in Shift-JIS.
#pragma once
#include <string>
#include <string_view>

// UTF-8 bytes -> Shift-JIS. The walk stops at a zero byte where a character should begin;
// a character cut short by the end of the text reads zero bytes for its missing bytes. The
// bytes after a lead byte are not checked: their low six bits are taken whatever they are.
// Characters without a Shift-JIS form become "?". Throws EVendlumeError "UTF-8 Unknown
// code." on a byte that cannot begin a character (80 to BF, F8 to FF).
std::string Utf8ToSjis(std::string_view utf8);

// Shift-JIS bytes -> UTF-8, up to the first NUL character. Bytes that start no Shift-JIS
// character become "?".
std::string SjisToUtf8(std::string_view sjis);

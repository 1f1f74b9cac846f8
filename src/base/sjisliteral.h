// The system's texts are Shift-JIS (code page 932) byte strings. Japanese literals are
// written readably in UTF-8 in the sources and converted once with Sjis().
#pragma once
#include <string>
#include <string_view>

// UTF-8 text -> Shift-JIS bytes. Characters without a Shift-JIS form become "?".
std::string Sjis(std::string_view utf8);
// Shift-JIS bytes -> UTF-8 text (for messages on a UTF-8 console, tests).
std::string SjisToUtf8Text(std::string_view sjis);

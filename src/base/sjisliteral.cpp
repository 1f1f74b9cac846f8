#include "base/sjisliteral.h"

#include "platform/utf16.h"
#include "platform/codepage.h"

std::string Sjis(std::string_view utf8) { return platform::Utf16ToCp932(Utf8ToUtf16(utf8)); }

std::string SjisToUtf8Text(std::string_view sjis) { return platform::Cp932ToUtf8(sjis); }

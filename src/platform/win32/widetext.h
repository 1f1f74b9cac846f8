// Shift-JIS text and the wide strings of the W functions, through code page 932's UTF-16.
#pragma once
#include <string>
#include <string_view>

#include "platform/codepage.h"

namespace platform {

inline std::wstring Wide(const std::string& sjis) {
  const std::u16string text = Cp932ToUtf16(sjis);
  return std::wstring(text.begin(), text.end());
}

inline std::string Narrow(std::wstring_view text) {
  return Utf16ToCp932(std::u16string(text.begin(), text.end()));
}

}  // namespace platform

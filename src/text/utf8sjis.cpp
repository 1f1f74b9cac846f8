#include "text/utf8sjis.h"

#include <cstring>

#include "base/errors.h"
#include "platform/codepage.h"

std::string Utf8ToSjis(std::string_view utf8) {
  // Four zero bytes after the text: a character cut short reads zeros instead of running
  // past the end, and the walk ends on the first zero where a character should begin.
  std::string bytes(utf8);
  bytes.append(4, '\0');
  auto at = [&](size_t i) { return static_cast<char32_t>(static_cast<unsigned char>(bytes[i])); };

  std::u16string wide;
  wide.reserve(utf8.size());
  size_t i = 0;
  while (at(i) != 0) {
    const char32_t b0 = at(i);
    if (b0 < 0x80) {
      wide.push_back(static_cast<char16_t>(b0));
      i += 1;
    } else if (b0 >= 0xC0 && b0 <= 0xDF) {
      wide.push_back(static_cast<char16_t>(((b0 & 0x1F) << 6) + (at(i + 1) & 0x3F)));
      i += 2;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
      wide.push_back(static_cast<char16_t>(((b0 & 0x0F) << 12) + ((at(i + 1) & 0x3F) << 6) + (at(i + 2) & 0x3F)));
      i += 3;
    } else if (b0 >= 0xF0 && b0 <= 0xF7) {
      const char32_t cp = ((b0 & 0x07) << 18) + ((at(i + 1) & 0x3F) << 12) + ((at(i + 2) & 0x3F) << 6) +
                          (at(i + 3) & 0x3F);
      if (cp >= 0x10000 && cp <= 0x10FFFF) {
        wide.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
        wide.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
      } else {
        // Four bytes that spell no character beyond the basic plane have no Shift-JIS form.
        wide.push_back(u'\uFFFD');
      }
      i += 4;
    } else {
      throw EVendlumeError("UTF-8 Unknown code.");
    }
  }
  // Only the text before the first zero unit (a two- or three-byte zero) is converted.
  const size_t end = wide.find(u'\0');
  if (end != std::u16string::npos) wide.resize(end);
  return platform::Utf16ToCp932(wide);
}

std::string SjisToUtf8(std::string_view sjis) {
  std::string out;
  for (char16_t u : platform::Cp932ToUtf16(sjis)) {
    if (u == 0) break;
    if (u <= 0x7F) {
      out.push_back(static_cast<char>(u));
    } else if (u <= 0x7FF) {
      out.push_back(static_cast<char>(0xC0 + (u >> 6)));
      out.push_back(static_cast<char>(0x80 + (u & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xE0 + (u >> 12)));
      out.push_back(static_cast<char>(0x80 + ((u >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 + (u & 0x3F)));
    }
  }
  return out;
}

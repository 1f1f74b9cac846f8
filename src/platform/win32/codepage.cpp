#include "platform/codepage.h"

#include <windows.h>

namespace platform {

std::u16string Cp932ToUtf16(std::string_view sjis) {
  if (sjis.empty()) return {};
  int n = MultiByteToWideChar(932, 0, sjis.data(), static_cast<int>(sjis.size()), nullptr, 0);
  std::u16string out(static_cast<size_t>(n), u'\0');
  MultiByteToWideChar(932, 0, sjis.data(), static_cast<int>(sjis.size()),
                      reinterpret_cast<wchar_t*>(out.data()), n);
  return out;
}

std::string Utf16ToCp932(std::u16string_view text) {
  if (text.empty()) return {};
  auto src = reinterpret_cast<const wchar_t*>(text.data());
  // No best-fit guesses (ÿ would become y): an unmappable character is "?" on both systems.
  int n = WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, src, static_cast<int>(text.size()), nullptr, 0, "?", nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, src, static_cast<int>(text.size()), out.data(), n, "?", nullptr);
  return out;
}

std::string Cp932ToUtf8(std::string_view sjis) {
  std::u16string wide = Cp932ToUtf16(sjis);
  if (wide.empty()) return {};
  auto src = reinterpret_cast<const wchar_t*>(wide.data());
  int n = WideCharToMultiByte(CP_UTF8, 0, src, static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, src, static_cast<int>(wide.size()), out.data(), n, nullptr, nullptr);
  return out;
}

}  // namespace platform

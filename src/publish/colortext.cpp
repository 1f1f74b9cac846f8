#include "publish/colortext.h"

#include <array>
#include <cstdio>

#include "base/numtext.h"
#include "platform/syscolor.h"

namespace {

struct ColorIdent {
  std::string_view name;
  int32_t value;
};

constexpr int32_t kSystem = INT32_MIN;  // 0x80000000: system colour n is kSystem + n

constexpr std::array<ColorIdent, 42> kIdentifiers = {{
    {"clBlack", 0x000000},
    {"clMaroon", 0x000080},
    {"clGreen", 0x008000},
    {"clOlive", 0x008080},
    {"clNavy", 0x800000},
    {"clPurple", 0x800080},
    {"clTeal", 0x808000},
    {"clGray", 0x808080},
    {"clSilver", 0xC0C0C0},
    {"clRed", 0x0000FF},
    {"clLime", 0x00FF00},
    {"clYellow", 0x00FFFF},
    {"clBlue", 0xFF0000},
    {"clFuchsia", 0xFF00FF},
    {"clAqua", 0xFFFF00},
    {"clWhite", 0xFFFFFF},
    {"clScrollBar", kSystem + 0},
    {"clBackground", kSystem + 1},
    {"clActiveCaption", kSystem + 2},
    {"clInactiveCaption", kSystem + 3},
    {"clMenu", kSystem + 4},
    {"clWindow", kSystem + 5},
    {"clWindowFrame", kSystem + 6},
    {"clMenuText", kSystem + 7},
    {"clWindowText", kSystem + 8},
    {"clCaptionText", kSystem + 9},
    {"clActiveBorder", kSystem + 10},
    {"clInactiveBorder", kSystem + 11},
    {"clAppWorkSpace", kSystem + 12},
    {"clHighlight", kSystem + 13},
    {"clHighlightText", kSystem + 14},
    {"clBtnFace", kSystem + 15},
    {"clBtnShadow", kSystem + 16},
    {"clGrayText", kSystem + 17},
    {"clBtnText", kSystem + 18},
    {"clInactiveCaptionText", kSystem + 19},
    {"clBtnHighlight", kSystem + 20},
    {"cl3DDkShadow", kSystem + 21},
    {"cl3DLight", kSystem + 22},
    {"clInfoText", kSystem + 23},
    {"clInfoBk", kSystem + 24},
    {"clNone", 0x1FFFFFFF},
}};

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

}  // namespace

int32_t StringToColor(std::string_view text) {
  for (const ColorIdent& ident : kIdentifiers) {
    if (SameIgnoringCase(text, ident.name)) return ident.value;
  }
  return StrToInt(text);
}

std::string ColorToString(int32_t color) {
  for (const ColorIdent& ident : kIdentifiers) {
    if (ident.value == color) return std::string(ident.name);
  }
  char buf[16];
  std::snprintf(buf, sizeof buf, "$%.8X", static_cast<unsigned>(static_cast<uint32_t>(color)));
  return buf;
}

uint32_t ColorToRGB(int32_t color) {
  if (color < 0) return platform::SystemColor(color & 0xFF) & 0xFFFFFF;
  return static_cast<uint32_t>(color) & 0xFFFFFF;
}

std::string ColorToHtml(std::string_view text) {
  const uint32_t rgb = ColorToRGB(StringToColor(text));
  char buf[8];
  std::snprintf(buf, sizeof buf, "#%02X%02X%02X", rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF);
  return buf;
}

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "base/errors.h"
#include "platform/syscolor.h"
#include "publish/colortext.h"

namespace {

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}
std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

const std::vector<std::pair<std::string, int32_t>>& StandardColours() {
  static const std::vector<std::pair<std::string, int32_t>> table = {
      {"clBlack", 0x000000},  {"clMaroon", 0x000080}, {"clGreen", 0x008000},   {"clOlive", 0x008080},
      {"clNavy", 0x800000},   {"clPurple", 0x800080}, {"clTeal", 0x808000},    {"clGray", 0x808080},
      {"clSilver", 0xC0C0C0}, {"clRed", 0x0000FF},    {"clLime", 0x00FF00},    {"clYellow", 0x00FFFF},
      {"clBlue", 0xFF0000},   {"clFuchsia", 0xFF00FF}, {"clAqua", 0xFFFF00},   {"clWhite", 0xFFFFFF},
  };
  return table;
}

const std::vector<std::string>& SystemColourNames() {
  static const std::vector<std::string> names = {
      "clScrollBar",   "clBackground",  "clActiveCaption", "clInactiveCaption", "clMenu",
      "clWindow",      "clWindowFrame", "clMenuText",      "clWindowText",      "clCaptionText",
      "clActiveBorder", "clInactiveBorder", "clAppWorkSpace", "clHighlight",    "clHighlightText",
      "clBtnFace",     "clBtnShadow",   "clGrayText",      "clBtnText",         "clInactiveCaptionText",
      "clBtnHighlight", "cl3DDkShadow", "cl3DLight",       "clInfoText",        "clInfoBk",
  };
  return names;
}

TEST(ColourText, KnowsAllFortyTwoIdentifiersInAnyCase) {
  std::vector<std::pair<std::string, int32_t>> all = StandardColours();
  for (size_t i = 0; i < SystemColourNames().size(); ++i) {
    all.emplace_back(SystemColourNames()[i], static_cast<int32_t>(0x80000000u + i));
  }
  all.emplace_back("clNone", 0x1FFFFFFF);
  ASSERT_EQ(all.size(), 42u);
  for (const auto& [name, value] : all) {
    EXPECT_EQ(StringToColor(name), value) << name;
    EXPECT_EQ(StringToColor(Upper(name)), value) << name;
    EXPECT_EQ(StringToColor(Lower(name)), value) << name;
    // Writing gives back the identifier in its own spelling.
    EXPECT_EQ(ColorToString(value), name);
  }
}

TEST(ColourText, NumbersAreReadByTheWholeNumberRule) {
  EXPECT_EQ(StringToColor("$00FFFFFF"), 0xFFFFFF);
  EXPECT_EQ(StringToColor("16777215"), 0xFFFFFF);
  EXPECT_EQ(StringToColor("0x0080FF"), 0x0080FF);
  EXPECT_EQ(StringToColor("$80000005"), StringToColor("clWindow"));
}

TEST(ColourText, WritesOtherValuesAsEightUpperCaseDigits) {
  EXPECT_EQ(ColorToString(0x00FF8000), "$00FF8000");
  EXPECT_EQ(ColorToString(0x00000001), "$00000001");
  EXPECT_EQ(ColorToString(0x00ABCDEF), "$00ABCDEF");
  EXPECT_EQ(StringToColor(ColorToString(0x00ABCDEF)), 0x00ABCDEF);
}

TEST(ColourText, RefusesTextThatIsNeitherNameNorNumber) {
  for (const char* bad : {"", "clWhit", "clWhite ", "white", "#FFFFFF", "$0G000000", "$100000000"}) {
    EXPECT_THROW(StringToColor(bad), EConvertError) << bad;
    EXPECT_THROW(ColorToHtml(bad), EConvertError) << bad;
  }
}

TEST(ColorToHtml, PutsRedFirstAndUsesUpperCaseDigits) {
  EXPECT_EQ(ColorToHtml("$00FFFFFF"), "#FFFFFF");
  EXPECT_EQ(ColorToHtml("$000080FF"), "#FF8000");
  EXPECT_EQ(ColorToHtml("$00ABCDEF"), "#EFCDAB");
  EXPECT_EQ(ColorToHtml("$00000000"), "#000000");
  EXPECT_EQ(ColorToHtml("clNone"), "#FFFFFF");
  EXPECT_EQ(ColorToHtml("CLRED"), "#FF0000");
  EXPECT_EQ(ColorToHtml("clnavy"), "#000080");
  EXPECT_EQ(ColorToHtml("65280"), "#00FF00");
  // The byte above blue is no part of the page colour.
  EXPECT_EQ(ColorToHtml("$12000080"), "#800000");
}

TEST(ColorToHtml, GivesTheStandardColoursTheirWebValues) {
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"clBlack", "#000000"},  {"clMaroon", "#800000"}, {"clGreen", "#008000"},   {"clOlive", "#808000"},
      {"clNavy", "#000080"},   {"clPurple", "#800080"}, {"clTeal", "#008080"},    {"clGray", "#808080"},
      {"clSilver", "#C0C0C0"}, {"clRed", "#FF0000"},    {"clLime", "#00FF00"},    {"clYellow", "#FFFF00"},
      {"clBlue", "#0000FF"},   {"clFuchsia", "#FF00FF"}, {"clAqua", "#00FFFF"},   {"clWhite", "#FFFFFF"},
  };
  for (const auto& [name, html] : expected) EXPECT_EQ(ColorToHtml(name), html) << name;
}

// The system colours depend on the desktop (Windows, Wine, or the fixed stand-in), so they
// are checked against what the platform reports, not against fixed values.
TEST(ColorToHtml, ResolvesSystemColoursThroughThePlatform) {
  for (size_t i = 0; i < SystemColourNames().size(); ++i) {
    const uint32_t rgb = platform::SystemColor(static_cast<int>(i));
    char expected[8];
    std::snprintf(expected, sizeof expected, "#%02X%02X%02X", rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF);
    const std::string& name = SystemColourNames()[i];
    EXPECT_EQ(ColorToHtml(name), expected) << name;
    EXPECT_EQ(ColorToRGB(StringToColor(name)), rgb & 0xFFFFFF) << name;
  }
  // Only the low byte picks the system colour.
  EXPECT_EQ(ColorToHtml("$80FFFF0F"), ColorToHtml("clBtnFace"));
}

TEST(SystemColours, TellTextFromItsBackground) {
  // Whatever the scheme, window text must be readable on the window.
  EXPECT_NE(ColorToHtml("clWindowText"), ColorToHtml("clWindow"));
  EXPECT_NE(ColorToHtml("clBtnText"), ColorToHtml("clBtnFace"));
  EXPECT_EQ(platform::SystemColor(200), 0u);
}

}  // namespace

#include "intake/MyStrUtils.h"

#include "base/sjis.h"

size_t PosFrom(std::string_view pattern, std::string_view text, size_t start) {
  if (pattern.empty() || start < 1 || start > text.size() + 1) return 0;
  const size_t from = start - 1;
  size_t i = 0;
  while (i < text.size()) {
    if (i >= from && text.compare(i, pattern.size(), pattern) == 0) return i + 1;
    i += IsSjisLeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1;
  }
  return 0;
}

const char* PCharPosFrom(const char* text, const char* pattern, size_t offset) {
  const std::string_view whole(text);
  if (offset > whole.size()) return nullptr;
  const size_t p = PosFrom(pattern, whole, offset + 1);
  return p ? text + p - 1 : nullptr;
}

size_t CountOccurrences(std::string_view pattern, std::string_view text) {
  std::vector<size_t> positions;
  return FindAllPositions(pattern, text, positions);
}

size_t FindAllPositions(std::string_view pattern, std::string_view text, std::vector<size_t>& positions) {
  positions.clear();
  for (size_t p = PosFrom(pattern, text, 1); p != 0; p = PosFrom(pattern, text, p + pattern.size())) {
    positions.push_back(p);
  }
  return positions.size();
}

std::string TextBetween(std::string_view text, std::string_view startMarker, std::string_view endMarker) {
  const size_t s = PosFrom(startMarker, text, 1);
  if (s == 0) return "Error";
  const size_t e = PosFrom(endMarker, text, s + startMarker.size());
  if (e == 0) return "Error";
  return std::string(text.substr(s - 1 + startMarker.size(), e - s - startMarker.size()));
}

#include "text/sjissearch.h"


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

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
  if (from.empty()) return std::string(text);
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    if (text.compare(i, from.size(), from) == 0) {
      out += to;
      i += from.size();
    } else {
      const size_t step = IsSjisLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
      out.append(text, i, step);
      i += step;
    }
  }
  return out;
}

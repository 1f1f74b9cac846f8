// Substring searches and replacement on Shift-JIS byte strings, shared by the order-mail
// parser, the item stage, the page renderer and the product lookup.
//
// Every search is double-byte aware: the text is walked character by character from its
// first byte, and a match may begin only where a character begins, so the trail byte of a
// double-byte character (ソ is 83 5C) is never taken for an ASCII byte. A lead byte that is
// the text's last byte counts as one character; no search reads past the end.
// Positions count bytes from 1; 0 means "not found". An empty pattern is never found.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Is the byte a Shift-JIS lead byte (81-9F, E0-FC)?
inline bool IsSjisLeadByte(unsigned char c) {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// The first match in the zero-terminated text that begins at or after byte offset (bytes
// skipped, from 0); nullptr when there is none or the offset is past the text's end.
const char* PCharPosFrom(const char* text, const char* pattern, size_t offset);

// Position of the first match that begins at or after position start; 0 when there is none
// or start lies more than one byte past the end (or is below 1).
size_t PosFrom(std::string_view pattern, std::string_view text, size_t start);

// Number of non-overlapping matches, counted from the start of the text.
size_t CountOccurrences(std::string_view pattern, std::string_view text);

// The positions of the non-overlapping matches, in increasing order, replace the list's
// contents; the result is their number.
size_t FindAllPositions(std::string_view pattern, std::string_view text, std::vector<size_t>& positions);

// The bytes between the first start marker and the first end marker after it, or "Error"
// when either is missing.
std::string TextBetween(std::string_view text, std::string_view startMarker, std::string_view endMarker);

// Whether the text holds the pattern (PosFrom from position 1).
inline bool Contains(std::string_view text, std::string_view pattern) { return PosFrom(pattern, text, 1) != 0; }

// Every match of from, found at character starts only, replaced by to (an empty from
// matches nothing).
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to);

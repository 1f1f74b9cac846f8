// The characters of the basic plane that code page 932 has, with their Shift-JIS codes
// (one byte below 100 hex, else lead byte * 100 hex + trail byte), in Unicode order.
// Generated from glibc iconv's "CP932" (cp932table.py); read only through text/cp932.h.
#pragma once
#include <cstddef>
#include <cstdint>

struct TCp932Pair {
  uint16_t unicode;  // the character (in kCp932Duplicates: the duplicate code)
  uint16_t sjis;
};

extern const TCp932Pair kCp932Pairs[];
extern const size_t kCp932PairCount;

// The double-byte codes of characters that map to another code (NEC's selection of IBM's
// extension characters in rows ED and EE, NEC's duplicates of row 2 in row 87), in code
// order, each with the code its character maps to.
extern const TCp932Pair kCp932Duplicates[];
extern const size_t kCp932DuplicateCount;

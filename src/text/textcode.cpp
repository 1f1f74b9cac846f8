#include "text/textcode.h"

#include "text/jis.h"

namespace {

bool In(unsigned char c, unsigned char lo, unsigned char hi) { return c >= lo && c <= hi; }

bool IsBinaryByte(unsigned char c) { return c < 0x08 || c == 0xFF; }

std::string EucToSjis(std::string_view euc) {
  // Never longer than the input: written in place, then cut to its length.
  std::string out(euc.size(), '\0');
  char* o = out.data();
  const unsigned char* p = reinterpret_cast<const unsigned char*>(euc.data());
  const unsigned char* const end = p + euc.size();
  while (p < end) {
    const unsigned char c = *p;
    if (c <= 0x80 || c == 0xFF) {
      *o++ = static_cast<char>(c);
      ++p;
    } else if (p + 1 >= end) {
      break;  // a lead byte without its follower
    } else if (c == 0x8E) {
      // Single shift 2: half-width katakana have the same byte in Shift-JIS.
      *o++ = static_cast<char>(p[1]);
      p += 2;
    } else {
      PutJisPairAsSjis(o, c & 0x7F, p[1] & 0x7F);
      o += 2;
      p += 2;
    }
  }
  out.resize(static_cast<size_t>(o - out.data()));
  return out;
}

}  // namespace

int DetectCode(std::string_view text) {
  const size_t n = text.size();
  auto at = [&](size_t k) { return static_cast<unsigned char>(text[k]); };

  for (size_t k = 0; k < 512 && k + 1 < n; ++k)
    if (IsBinaryByte(at(k))) return kCodeBinary;

  int result = kCodeAscii;
  // k is the 0-based position; the scan examines every byte but the last, and a rule that
  // reads a follower moves k onto it only when one is there.
  for (size_t k = 0; (result == kCodeAscii || result == kCodeUndecided) && k + 1 < n; ++k) {
    unsigned char x = at(k);
    if (x == 0x1B) {
      ++k;
      if (at(k) == '$' && k + 1 < n) {
        ++k;
        if (at(k) == 'B') result = kCodeJisB;
        else if (at(k) == '@') result = kCodeJisAt;
      }
    } else if (IsBinaryByte(x)) {
      result = kCodeBinary;
    } else if (x <= 0x7F) {
      // ASCII decides nothing
    } else if (In(x, 0x81, 0x8D) || In(x, 0x8F, 0x9F)) {
      result = kCodeSjis;
    } else if (x == 0x8E) {
      unsigned char y = at(++k);
      if (In(y, 0x40, 0x7E) || In(y, 0x80, 0xA0) || In(y, 0xE0, 0xFC)) result = kCodeSjis;
      else if (In(y, 0xA1, 0xDF)) result = kCodeUndecided;
    } else if (In(x, 0xA1, 0xDF)) {
      unsigned char y = at(++k);
      if (In(y, 0xF0, 0xFE)) {
        result = kCodeEuc;
      } else if (In(y, 0xA1, 0xDF)) {
        result = kCodeUndecided;
      } else if (In(y, 0xE0, 0xEF)) {
        result = kCodeUndecided;
        // Look further until a byte decides or a byte below 40 ends the run; the main scan
        // then passes over the byte that ended it.
        unsigned char c = y;
        while (c >= 0x40 && result == kCodeUndecided && k + 1 < n) {
          c = at(++k);
          if (In(c, 0x81, 0x8D) || In(c, 0x8F, 0x9C)) result = kCodeSjis;
          else if (c == 0xFD || c == 0xFE) result = kCodeEuc;
        }
      } else if (y <= 0x9F) {
        result = kCodeSjis;
      }
    } else if (In(x, 0xF0, 0xFE)) {
      result = kCodeEuc;
    } else if (In(x, 0xE0, 0xEF)) {
      unsigned char y = at(++k);
      if (In(y, 0x40, 0x7E) || In(y, 0x80, 0xA0)) result = kCodeSjis;
      else if (y == 0xFD || y == 0xFE) result = kCodeEuc;
      else if (In(y, 0xA1, 0xFC)) result = kCodeUndecided;
    }
  }
  return result;
}

std::string ConvertCode(std::string_view text, int target) {
  int code = DetectCode(text);
  if (target != kCodeSjis || code == target || code == kCodeAscii || code == kCodeBinary ||
      code == kCodeUndecided)
    return std::string(text);
  if (code == kCodeEuc) return EucToSjis(text);
  return JisToSjis(text);
}

#include "text/textcode.h"

#include "platform/memoryadvice.h"
#include "text/jis.h"
#include "text/wordscan.h"

namespace {

bool In(unsigned char c, unsigned char lo, unsigned char hi) { return c >= lo && c <= hi; }

bool IsBinaryByte(unsigned char c) { return c < 0x08 || c == 0xFF; }

// From this size on, fresh storage for a conversion is asked for on large pages.
constexpr size_t kLargeText = size_t{4} << 20;

// Empty storage with room for size bytes: the output is never longer than the input.
std::string StorageFor(size_t size) {
  std::string out;
  if (size >= kLargeText) {
    out.reserve(size);
    platform::AdviseLargeFill(out.data(), out.capacity());
  }
  return out;
}

// EUC-JP from in[0..size) to out (which may be in itself: the output never overtakes the
// input); returns the bytes written.
size_t EucToSjisInto(const char* in, size_t size, char* out) {
  const char* p = in;
  const char* const end = in + size;
  char* o = out;
  for (;;) {
    // Bytes below 80, eight at a time.
    CopyUnmarkedWords(p, end, o, HighBitMask);
    if (p == end) break;
    const auto c = static_cast<unsigned char>(*p);
    if (c <= 0x80 || c == 0xFF) {
      *o++ = *p++;
      continue;
    }
    if (end - p < 2) break;  // a lead byte without its follower
    if (c == 0x8E) {
      // Single shift 2: half-width katakana have the same byte in Shift-JIS.
      *o++ = p[1];
      p += 2;
      continue;
    }
    if (c == 0x8F) {
      // Single shift 3: a JIS X 0212 pair in the next two bytes.
      if (end - p < 3) break;
      PutJis0212PairAsSjis(o, static_cast<unsigned char>(p[1] & 0x7F), static_cast<unsigned char>(p[2] & 0x7F));
      o += 2;
      p += 3;
      continue;
    }
    // A run of pairs.
    do {
      PutJisPairAsSjis(o, static_cast<unsigned char>(p[0] & 0x7F), static_cast<unsigned char>(p[1] & 0x7F));
      o += 2;
      p += 2;
    } while (end - p >= 2 && static_cast<unsigned char>(*p) > 0x80 && *p != '\x8E' && *p != '\x8F' &&
             *p != '\xFF');
  }
  return static_cast<size_t>(o - out);
}

// Whether the text of this code is converted for the target; otherwise it stays as it is.
bool Converts(int code, int target) {
  return target == kCodeSjis && (code == kCodeJisB || code == kCodeJisAt || code == kCodeEuc);
}

size_t ConvertInto(int code, const char* in, size_t size, char* out) {
  return code == kCodeEuc ? EucToSjisInto(in, size, out) : JisToSjisInto(in, size, out);
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
  const int code = DetectCode(text);
  std::string out = StorageFor(text.size());
  if (!Converts(code, target)) {
    out.assign(text);
    return out;
  }
  out.resize(text.size());
  out.resize(ConvertInto(code, text.data(), text.size(), out.data()));
  return out;
}

void ConvertCodeInPlace(std::string& text, int target) { ConvertKnownCodeInPlace(text, DetectCode(text), target); }

void ConvertKnownCodeInPlace(std::string& text, int code, int target) {
  if (Converts(code, target)) text.resize(ConvertInto(code, text.data(), text.size(), text.data()));
}

#include "text/cp932.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <memory>

#include "text/cp932table.h"
#include "text/wordscan.h"

namespace {

// JIS X 0208 characters as Unicode text written outside Windows spells them, where code
// page 932 has the same character under another value (U+301C is its U+FF5E, and so on).
constexpr TCp932Pair kJisForms[] = {
    {0x301C, 0x8160}, {0x2212, 0x817C}, {0x2016, 0x8161}, {0x00A2, 0x8191}, {0x00A3, 0x8192}, {0x00AC, 0x81CA},
};

// Every character of the basic plane, indexed by its value: one look-up per character.
using TPlaneTable = std::array<uint16_t, 0x10000>;

const TPlaneTable& PlaneTable() {
  static const std::unique_ptr<TPlaneTable> table = [] {
    auto made = std::make_unique<TPlaneTable>();
    for (size_t i = 0; i < kCp932PairCount; ++i) (*made)[kCp932Pairs[i].unicode] = kCp932Pairs[i].sjis;
    for (const TCp932Pair& form : kJisForms) (*made)[form.unicode] = form.sjis;
    return made;
  }();
  return *table;
}

// The Shift-JIS codes some character maps to, one bit each.
const std::bitset<0x10000>& AssignedCodes() {
  static const std::unique_ptr<std::bitset<0x10000>> codes = [] {
    auto made = std::make_unique<std::bitset<0x10000>>();
    for (size_t i = 0; i < kCp932PairCount; ++i) made->set(kCp932Pairs[i].sjis);
    return made;
  }();
  return *codes;
}

bool IsTagCharacter(char32_t c) { return c >= 0xE0000 && c <= 0xE007F; }

void AppendCode(std::string& out, uint16_t code) {
  if (code > 0xFF) out.push_back(static_cast<char>(code >> 8));
  out.push_back(static_cast<char>(code & 0xFF));
}

void AppendWith(const TPlaneTable& table, std::string& out, char32_t c) {
  const uint16_t code = c < 0x10000 ? table[c] : 0;
  if (code != 0) AppendCode(out, code);
  else if (c != 0 && !IsTagCharacter(c)) out += kGetaMark;
}

bool IsContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

// The allowed range of the second byte after a lead byte (RFC 3629 section 4): it excludes
// overlong forms, surrogates and values past U+10FFFF.
void SecondByteRange(unsigned char lead, unsigned char& lo, unsigned char& hi) {
  lo = 0x80;
  hi = 0xBF;
  if (lead == 0xE0) lo = 0xA0;
  else if (lead == 0xED) hi = 0x9F;
  else if (lead == 0xF0) lo = 0x90;
  else if (lead == 0xF4) hi = 0x8F;
}

}  // namespace

bool IsSjisCodeAssigned(uint16_t sjis) { return AssignedCodes().test(sjis); }

void UnifySjisCodes(std::string& text) {
  const TCp932Pair* const first = kCp932Duplicates;
  const TCp932Pair* const last = kCp932Duplicates + kCp932DuplicateCount;
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (!((lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC))) continue;
    if (lead == 0x87 || lead == 0xED || lead == 0xEE) {
      const auto code = static_cast<uint16_t>(lead << 8 | static_cast<unsigned char>(text[i + 1]));
      const TCp932Pair* found =
          std::lower_bound(first, last, code, [](const TCp932Pair& pair, uint16_t c) { return pair.unicode < c; });
      if (found != last && found->unicode == code) {
        text[i] = static_cast<char>(found->sjis >> 8);
        text[i + 1] = static_cast<char>(found->sjis & 0xFF);
      }
    }
    ++i;
  }
}

void AppendSjisChar(std::string& out, char32_t c) { AppendWith(PlaneTable(), out, c); }

std::string Utf8ToSjisText(std::string_view utf8) {
  const TPlaneTable& table = PlaneTable();
  const char* p = utf8.data();
  const char* const end = p + utf8.size();
  // Room for the rest of the input as it is and one character more: only an invalid byte
  // grows (one byte becomes "〓"), so the room is checked again before each character.
  std::string out(utf8.size() + 2, '\0');
  size_t at = 0;
  auto makeRoom = [&] {
    const size_t need = at + static_cast<size_t>(end - p) + 2;
    if (need > out.size()) out.resize(std::max(need, out.size() + out.size() / 2));
  };
  while (p < end) {
    makeRoom();
    char* o = out.data() + at;
    // Plain ASCII goes over by the word; a NUL stops it like a non-ASCII byte, to be dropped.
    CopyUnmarkedWords(p, end, o, [](uint64_t word) { return HighBitMask(word) | BytesEqualMask(word, 0); });
    at = static_cast<size_t>(o - out.data());
    if (p == end) break;
    const auto lead = static_cast<unsigned char>(*p);
    if (lead < 0x80) {
      if (lead != 0) out[at++] = *p;
      ++p;
      continue;
    }
    // The sequence's length from its lead byte; 80 to C1 and F5 to FF begin none.
    const size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                          : lead >= 0xE0 && lead <= 0xEF ? 3
                          : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                         : 0;
    char32_t c = lead & (0x7F >> length);
    size_t taken = 1;
    bool valid = length != 0;
    if (valid) {
      unsigned char lo, hi;
      SecondByteRange(lead, lo, hi);
      for (; taken < length; ++taken) {
        const auto b = p + taken == end ? 0 : static_cast<unsigned char>(p[taken]);
        if (taken == 1 ? (b < lo || b > hi) : !IsContinuation(b)) {
          valid = false;
          break;
        }
        c = (c << 6) | (b & 0x3F);
      }
    }
    p += taken;
    const uint16_t code = valid && c < 0x10000 ? table[c] : 0;
    if (code > 0xFF) {
      out[at++] = static_cast<char>(code >> 8);
      out[at++] = static_cast<char>(code & 0xFF);
    } else if (code != 0) {
      out[at++] = static_cast<char>(code);
    } else if (!valid || !IsTagCharacter(c)) {
      out[at++] = kGetaMark[0];
      out[at++] = kGetaMark[1];
    }
  }
  out.resize(at);
  return out;
}

#include "mail/encodedword.h"

#include "text/asciitext.h"
#include "text/charset.h"
#include "mail/transferdecoders.h"

namespace {

std::string DecodeQ(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '_') {
      out += ' ';
    } else if (c == '=' && i + 2 < text.size() && HexDigitValue(text[i + 1]) >= 0 &&
               HexDigitValue(text[i + 2]) >= 0) {
      out += static_cast<char>(HexDigitValue(text[i + 1]) * 16 + HexDigitValue(text[i + 2]));
      i += 2;
    } else {
      out += c;
    }
  }
  return out;
}

std::string DecodeB(std::string_view text) {
  std::string out;
  TNetBase64Decoder decoder;
  decoder.Decode(text, out);
  decoder.Finish(out);
  return out;
}

// Where the encoded word that starts at pos ("=?") ends, in one look ahead that never goes
// past the next "=?" for the charset and never past the first "?=" for the text.
struct WordShape {
  size_t q1 = 0;     // the "?" after the charset
  size_t close = 0;  // the closing "?="
};

enum class Shape { kWord, kMalformed, kUnclosed };

Shape FindWord(std::string_view value, size_t pos, WordShape& shape) {
  shape.q1 = value.find('?', pos + 2);
  if (shape.q1 == std::string_view::npos) return Shape::kUnclosed;
  if (shape.q1 + 2 >= value.size() || value[shape.q1 + 2] != '?') return Shape::kMalformed;
  shape.close = value.find("?=", shape.q1 + 3);
  return shape.close == std::string_view::npos ? Shape::kUnclosed : Shape::kWord;
}

// The text of a "Q" or "B" word.
std::string DecodeWord(std::string_view value, size_t pos, const WordShape& shape) {
  const char encoding = AsciiLower(value[shape.q1 + 1]);
  std::string_view charset = value.substr(pos + 2, shape.q1 - pos - 2);
  std::string_view text = value.substr(shape.q1 + 3, shape.close - shape.q1 - 3);
  std::string decoded = encoding == 'q' ? DecodeQ(text) : DecodeB(text);
  // RFC 2231 lets a language follow the charset after "*".
  ConvertToSjisInPlace(decoded, CharsetNamed(charset.substr(0, charset.find('*'))));
  return decoded;
}

}  // namespace

std::string DecodeEncodedWords(std::string_view value) {
  if (value.find("=?") == std::string_view::npos) return std::string(value);
  // One pass: every byte is looked at a bounded number of times. A word without its "?="
  // means no later word can close either, so the rest is copied as it is.
  std::string out;
  size_t pos = 0;
  bool afterWord = false;
  while (pos < value.size()) {
    const size_t start = value.find("=?", pos);
    if (start == std::string_view::npos) {
      out.append(value.substr(pos));
      break;
    }
    WordShape shape;
    const Shape found = FindWord(value, start, shape);
    if (found == Shape::kUnclosed) {
      out.append(value.substr(pos));
      break;
    }
    if (found == Shape::kMalformed) {
      out.append(value.substr(pos, start + 2 - pos));
      pos = start + 2;
      afterWord = false;
      continue;
    }
    const char encoding = AsciiLower(value[shape.q1 + 1]);
    if (encoding != 'q' && encoding != 'b') {
      // An unknown encoding: the word stays as written.
      out.append(value.substr(pos, shape.close + 2 - pos));
      pos = shape.close + 2;
      afterWord = false;
      continue;
    }
    std::string_view between = value.substr(pos, start - pos);
    // Blanks between two encoded words only separate them (RFC 2047 section 6.2).
    if (!(afterWord && between.find_first_not_of(" \t\r\n") == std::string_view::npos))
      out.append(between);
    out += DecodeWord(value, start, shape);
    pos = shape.close + 2;
    afterWord = true;
  }
  return out;
}

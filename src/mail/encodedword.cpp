#include "mail/encodedword.h"

#include <optional>

#include "text/jis.h"
#include "text/asciitext.h"
#include "base/netexceptions.h"
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

std::optional<std::string> DecodeB(std::string_view text) {
  std::string out;
  TNetBase64Decoder decoder;
  try {
    decoder.Decode(text, out);
    decoder.Finish(out);
  } catch (const ENetTableNotFound&) {
    return std::nullopt;
  }
  return out;
}

struct EncodedWord {
  size_t end = 0;  // just past the closing "?="
  std::string text;
};

// The encoded word that starts at pos ("=?"), decoded, or nothing when it is malformed.
std::optional<EncodedWord> ReadEncodedWord(std::string_view value, size_t pos) {
  size_t q1 = value.find('?', pos + 2);
  if (q1 == std::string_view::npos || q1 + 2 >= value.size() || value[q1 + 2] != '?')
    return std::nullopt;
  char encoding = AsciiLower(value[q1 + 1]);
  size_t start = q1 + 3;
  size_t close = value.find("?=", start);
  if (close == std::string_view::npos) return std::nullopt;
  std::string_view charset = value.substr(pos + 2, q1 - pos - 2);
  std::string_view text = value.substr(start, close - start);

  std::optional<std::string> decoded;
  if (encoding == 'q') decoded = DecodeQ(text);
  else if (encoding == 'b') decoded = DecodeB(text);
  if (!decoded) return std::nullopt;
  if (EqualsNoCase(charset, "ISO-2022-JP")) *decoded = JisToSjis(*decoded);
  return EncodedWord{close + 2, std::move(*decoded)};
}

}  // namespace

std::string DecodeEncodedWords(std::string_view value) {
  if (AsciiUpperCase(value).find("=?ISO") == std::string::npos) return std::string(value);
  std::string out;
  size_t pos = 0;
  bool afterWord = false;
  while (pos < value.size()) {
    size_t start = value.find("=?", pos);
    if (start == std::string_view::npos) {
      out.append(value.substr(pos));
      break;
    }
    std::optional<EncodedWord> word = ReadEncodedWord(value, start);
    if (!word) {
      out.append(value.substr(pos, start + 2 - pos));
      pos = start + 2;
      afterWord = false;
      continue;
    }
    std::string_view between = value.substr(pos, start - pos);
    // Blanks between two encoded words only separate them (RFC 2047 section 6.2).
    if (!(afterWord && between.find_first_not_of(" \t\r\n") == std::string_view::npos))
      out.append(between);
    out += word->text;
    pos = word->end;
    afterWord = true;
  }
  return out;
}

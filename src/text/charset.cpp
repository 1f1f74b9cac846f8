#include "text/charset.h"

#include "text/asciitext.h"
#include "text/cp932.h"
#include "text/textcode.h"

namespace {

struct TCharsetName {
  std::string_view name;
  TCharset charset;
};

constexpr TCharsetName kCharsetNames[] = {
    {"utf-8", TCharset::kUtf8},
    {"iso-2022-jp", TCharset::kIso2022Jp},
    {"iso-2022-jp-1", TCharset::kIso2022Jp},
    {"iso-2022-jp-3", TCharset::kIso2022Jp},
    {"iso-2022-jp-2004", TCharset::kIso2022Jp},
    {"euc-jp", TCharset::kEucJp},
    {"x-euc-jp", TCharset::kEucJp},
    {"shift_jis", TCharset::kShiftJis},
    {"windows-31j", TCharset::kShiftJis},
    {"cp932", TCharset::kShiftJis},
    {"ms932", TCharset::kShiftJis},
    {"x-sjis", TCharset::kShiftJis},
    {"sjis", TCharset::kShiftJis},
};

}  // namespace

TCharset CharsetNamed(std::string_view name) {
  const std::string_view trimmed = Trimmed(name);
  for (const TCharsetName& known : kCharsetNames)
    if (EqualsNoCase(trimmed, known.name)) return known.charset;
  return TCharset::kUndeclared;
}

void ConvertToSjisInPlace(std::string& text, TCharset charset) {
  switch (charset) {
    case TCharset::kUtf8:
      text = Utf8ToSjisText(text);
      break;
    case TCharset::kIso2022Jp:
      ConvertKnownCodeInPlace(text, kCodeJisB, kCodeSjis);
      break;
    case TCharset::kEucJp:
      ConvertKnownCodeInPlace(text, kCodeEuc, kCodeSjis);
      break;
    case TCharset::kShiftJis:
      break;
    case TCharset::kUndeclared:
      ConvertCodeInPlace(text, kCodeSjis);
      break;
  }
}

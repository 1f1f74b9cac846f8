// The charset a mail names for its text, and that text converted to Shift-JIS.
#pragma once
#include <string>
#include <string_view>

enum class TCharset {
  kUndeclared,  // none named, "us-ascii", or a name the program does not know: detected
  kUtf8,
  kIso2022Jp,
  kEucJp,
  kShiftJis,
};

// The charset of a MIME "charset" value (quotes already removed), in any case: "UTF-8";
// "ISO-2022-JP" and its extensions "-1", "-3", "-2004"; "EUC-JP", "x-euc-jp";
// "Shift_JIS", "windows-31j", "CP932", "MS932", "x-sjis", "SJIS". "us-ascii" and every
// other name answer kUndeclared: text that says it is ASCII but is not still gets read.
TCharset CharsetNamed(std::string_view name);

// The text in Shift-JIS. UTF-8 as Utf8ToSjisText (text/cp932.h); ISO-2022-JP and EUC-JP by
// their converters whatever the bytes look like; Shift-JIS as it is; kUndeclared as the
// detected code says (ConvertCode, text/textcode.h). Never fails.
void ConvertToSjisInPlace(std::string& text, TCharset charset);

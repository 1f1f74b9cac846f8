// Encoded words in mail header values (RFC 2047): =?charset?Q?text?= and =?charset?B?text?=.
#pragma once
#include <string>
#include <string_view>

// The header value with its encoded words decoded, when its upper-cased text contains
// "=?ISO"; any other value is returned as it is. Every encoded word is decoded ("Q": "_" is
// a space and "=" with two hexadecimal digits that byte; "B": base64) and text around the
// words is kept, except blanks between two adjacent encoded words. Words in ISO-2022-JP
// (any case) are converted from JIS to Shift-JIS; other charsets keep their decoded bytes.
// A malformed word (no closing "?=", an unknown encoding letter) stays as written; base64
// skips characters outside its alphabet. Linear in the value's length.
std::string DecodeEncodedWords(std::string_view value);

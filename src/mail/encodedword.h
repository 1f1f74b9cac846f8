// Encoded words in mail header values (RFC 2047): =?charset?Q?text?= and =?charset?B?text?=.
#pragma once
#include <string>
#include <string_view>

// The header value with its encoded words decoded. Every encoded word is decoded ("Q": "_" is
// a space and "=" with two hexadecimal digits that byte; "B": base64) and converted to
// Shift-JIS as its charset says (text/charset.h: an unknown charset is detected), and text
// around the words is kept, except blanks between two adjacent encoded words.
// A malformed word (no closing "?=", an unknown encoding letter) stays as written; base64
// skips characters outside its alphabet. Linear in the value's length.
std::string DecodeEncodedWords(std::string_view value);

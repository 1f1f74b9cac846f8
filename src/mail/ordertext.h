// The text of an order mail as the order parser reads it.
#pragma once
#include <string>

class TNetMessage;
class TNetText;

// The text part that holds the order: part 0 of a single-part mail. A multipart mail keeps
// only its preamble ("This is a multi-part message...") in part 0, so there the first text
// section with content that is not HTML is taken; when there is none, the first HTML
// section with content (a mail sent as HTML only); part 0 when no section has content.
// Null when the message has no text part at all.
const TNetText* OrderTextPart(const TNetMessage& message);

// The mail text as the order parser reads it: every body entry followed by CR LF, in
// Shift-JIS as the part's "charset" parameter says (text/charset.h: none, "us-ascii" or an
// unknown one is detected) with one code for each character (UnifySjisCodes, text/cp932.h),
// an HTML part ("text/html") turned into its text (text/htmltext.h), every lead byte
// without its trail byte replaced by "〓", and without ASCII commas (thousands separators
// and the CSV field separator). Never fails.
std::string OrderText(const TNetText& part);

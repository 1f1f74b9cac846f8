// The text of an order mail as the order parser reads it.
#pragma once
#include <string>

class TNetMessage;
class TNetText;

// The text part that holds the order: part 0 of a single-part mail. A multipart mail keeps
// only its preamble ("This is a multi-part message...") in part 0, so there the first text
// section with content is taken, and part 0 only when no section has any. Null when the
// message has no text part at all.
const TNetText* OrderTextPart(const TNetMessage& message);

// The mail text as the order parser reads it: every body entry followed by CR LF, in
// Shift-JIS, without ASCII commas (thousands separators and the CSV field separator).
// Throws when the text cannot be converted.
std::string OrderText(const TNetText& part);

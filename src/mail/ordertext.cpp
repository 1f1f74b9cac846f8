#include "mail/ordertext.h"

#include <algorithm>

#include "mail/message.h"
#include "mail/mimeparameter.h"
#include "text/asciitext.h"
#include "text/charset.h"
#include "text/cp932.h"
#include "text/htmltext.h"
#include "text/sjismend.h"

namespace {

bool IsBlankText(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; });
}

bool HasText(const TNetText* part) {
  return part && !std::all_of(part->Body.begin(), part->Body.end(), IsBlankText);
}

bool IsHtml(const TNetMessagePart& part) { return EqualsNoCase(BeforeSemicolon(part.ContentType), "text/html"); }

}  // namespace

const TNetText* OrderTextPart(const TNetMessage& message) {
  if (message.Parts.empty()) return nullptr;
  auto* first = dynamic_cast<const TNetText*>(message.Parts[0].get());
  if (message.Parts.size() == 1) return first;
  const TNetText* html = nullptr;
  for (size_t i = 1; i < message.Parts.size(); ++i) {
    auto* part = dynamic_cast<const TNetText*>(message.Parts[i].get());
    if (!HasText(part)) continue;
    if (!IsHtml(*part)) return part;
    if (!html) html = part;
  }
  return html ? html : first;
}

std::string OrderText(const TNetText& part) {
  std::string text;
  for (const std::string& entry : part.Body) {
    text += entry;
    text += "\r\n";
  }
  ConvertToSjisInPlace(text, CharsetNamed(MimeParameter(part.ContentType, "charset").value_or("")));
  UnifySjisCodes(text);
  if (IsHtml(part)) text = HtmlToText(text);
  // Mended before the commas go, so that no byte becomes the trail of a lead byte it did
  // not follow.
  ReplaceLoneLeadBytes(text);
  text.erase(std::remove(text.begin(), text.end(), ','), text.end());
  return text;
}

#include "mail/ordertext.h"

#include <algorithm>

#include "mail/message.h"
#include "text/textcode.h"

namespace {

bool IsBlank(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; });
}

bool HasText(const TNetText* part) {
  return part && !std::all_of(part->Body.begin(), part->Body.end(), IsBlank);
}

}  // namespace

const TNetText* OrderTextPart(const TNetMessage& message) {
  if (message.Parts.empty()) return nullptr;
  auto* first = dynamic_cast<const TNetText*>(message.Parts[0].get());
  if (message.Parts.size() == 1) return first;
  for (size_t i = 1; i < message.Parts.size(); ++i) {
    auto* part = dynamic_cast<const TNetText*>(message.Parts[i].get());
    if (HasText(part)) return part;
  }
  return first;
}

std::string OrderText(const TNetText& part) {
  std::string text;
  for (const std::string& entry : part.Body) {
    text += entry;
    text += "\r\n";
  }
  ConvertCodeInPlace(text, 5);
  text.erase(std::remove(text.begin(), text.end(), ','), text.end());
  return text;
}

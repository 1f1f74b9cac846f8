#include "mail/headerlist.h"

std::string TNetHeaderList::Value(std::string_view name) const {
  return HeaderValueOf(Lines.size(), [this](size_t i) -> std::string_view { return Lines[i]; }, name);
}

#include "net/netcomponent.h"

void TNetComponent::DoStatus(TNetStatus status, const std::string& argument) {
  if (!OnStatus) return;
  static const char* const kFormats[] = {"Resolving hostname %s.", "Connecting to %s.",
                                         "Connected.", "Disconnecting from %s.",
                                         "Not connected.", "%s"};
  std::string text = kFormats[status];
  size_t at = text.find("%s");
  if (at != std::string::npos) text.replace(at, 2, argument);
  OnStatus(this, status, text);
}

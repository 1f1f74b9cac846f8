#include "app/errorhandler.h"

#include "base/errors.h"
#include "base/netexceptions.h"
#include "platform/application.h"

std::string ErrorMessageText(const std::string& message) {
  std::string text = message;
  if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') text += '.';
  return text;
}

void HandleException(const std::exception& e) {
  if (dynamic_cast<const EAbort*>(&e) || dynamic_cast<const ENetSilentException*>(&e)) return;
  platform::ShowErrorMessage("Vendlume", ErrorMessageText(e.what()));
}

#include <memory>

#include "app/errorhandler.h"
#include "app/form1.h"
#include "platform/application.h"

// Creates the hidden controller and runs the message loop until the tray's exit (or, on
// posix, SIGTERM / SIGINT) ends it. Nothing is saved at the end.
int VendlumeMain() {
  std::unique_ptr<TForm1> form;
  // Failures in the dialogs' handlers reach the same top-level handler.
  SetUnhandledErrorHandler([](const std::exception& e) { HandleException(e); });
  RunGuarded([&] { form = std::make_unique<TForm1>(); });
  if (!form) return 1;
  // The additional-text window exists from the start, hidden.
  form->Form4 = std::make_unique<TForm4>(form->Settings, form->Form4);
  platform::RunMessageLoop();
  form->FormCloseQuery();
  return 0;
}

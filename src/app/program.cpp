#include <memory>

#include "app/errorhandler.h"
#include "app/form1.h"
#include "platform/application.h"

// Creates the hidden controller and runs the message loop until the tray's exit (or, on
// posix, SIGTERM / SIGINT) ends it. Nothing is saved at the end.
int VendlumeMain() {
  std::unique_ptr<TForm1> form;
  RunGuarded([&] { form = std::make_unique<TForm1>(); });
  if (!form) return 1;
  platform::RunMessageLoop();
  form->FormCloseQuery();
  return 0;
}

#include <memory>
#include <string_view>

#include "app/errorhandler.h"
#include "app/form1.h"
#include "base/sjisliteral.h"
#include "platform/application.h"
#include "platform/autostart.h"
#include "platform/instance.h"
#include "platform/system.h"

// Creates the hidden controller (the dialogs' hidden additional-text window joins it here)
// and runs the message loop until the tray's exit (or, on posix, SIGTERM / SIGINT) ends
// it. Nothing is saved at the end; the icon leaves the tray as the controller goes.
int VendlumeMain(int argc, char** argv) {
  // Started at logon (the Run key's command): Windows gives the system folder as the current
  // directory, but the program's files are in its own folder.
  for (int i = 1; i < argc; ++i)
    if (std::string_view(argv[i]) == platform::kAutostartArgument) platform::ChangeCurrentDirectory(platform::ProgramFolder());
  // One program per folder: a second one would poll the same mailbox and write the same
  // files.
  platform::FolderLock lock(platform::CurrentDirectory());
  if (!lock.Held()) {
    platform::ShowErrorMessage("Vendlume", Sjis("Vendlume はこのフォルダーですでに動いています: ") +
                                               platform::CurrentDirectory());
    return 2;
  }
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

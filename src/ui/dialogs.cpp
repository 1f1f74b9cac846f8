#include "ui/dialogs.h"

namespace {

template <typename TDialog, typename THost>
void ShowSingle(std::unique_ptr<TDialog>& ref, const THost& host) {
  if (!ref) {
    ref = std::make_unique<TDialog>(host);
    ref->OnClosed = [&ref] { ReleaseLater(ref); };
  }
  ref->Show();
}

}  // namespace

void ShowSettingsDialog(std::unique_ptr<TForm2>& form2, const TForm2Host& host) { ShowSingle(form2, host); }

void ShowOutputItemsDialog(std::unique_ptr<TForm3>& form3, const TForm3Host& host) { ShowSingle(form3, host); }

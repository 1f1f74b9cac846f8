#include "ui/statuswindow.h"

TStatusWindow::TStatusWindow(std::function<std::string()> report, std::unique_ptr<TStatusWindow>& slot)
    : TForm("StatusWindow", Sjis("Vendlume の状態"), 584, 440), report_(std::move(report)) {
  Memo1.Setup().FontFace = kDialogFontFace;
  Memo1.Setup().FontHeight = 12;
  Memo1.Setup().ReadOnly = true;  // a report, not a note pad
  Button1.OnClick = [this](TObject*) { Close(); };
  OnClosed = [&slot] { ReleaseLater(slot); };
  Refresh();
}

void TStatusWindow::Refresh() { Memo1.SetText(report_()); }

void ShowStatusWindow(std::unique_ptr<TStatusWindow>& slot, std::function<std::string()> report) {
  if (!slot) slot = std::make_unique<TStatusWindow>(std::move(report), slot);
  else slot->Refresh();
  slot->Show();
}

#include "ui/form4.h"

TForm4::TForm4(TSettings& settings, std::unique_ptr<TForm4>& slot)
    : TForm("Form4", Sjis("追加テキスト"), 482, 192, 621, 369), settings_(settings) {
  Memo1.Setup().FontFace = kDialogFontFace;
  Memo1.Setup().FontHeight = 15;
  Button1.OnClick = [this](TObject* s) { Button1Click(s); };
  OnClose = [this](TObject* s) { FormClose(s); };
  OnClosed = [&slot] { ReleaseLater(slot); };
}

void TForm4::Button1Click(TObject*) { Close(); }

void TForm4::FormClose(TObject*) { settings_.AddText = Memo1.Text(); }

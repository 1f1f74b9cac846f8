// TForm4 "追加テキスト": edits the free text added to the page (AddText). However it is
// closed, the text in the box becomes AddText; the next settings save stores it.
#pragma once
#include <memory>

#include "base/settingsrecord.h"
#include "base/sjisliteral.h"
#include "ui/controls.h"

class TForm4 : public TForm {
 public:
  // slot is the reference the program keeps to the window; closing clears it and frees
  // the window.
  TForm4(TSettings& settings, std::unique_ptr<TForm4>& slot);

  void Button1Click(TObject* Sender);
  void FormClose(TObject* Sender);

  TMemo Memo1{this, "Memo1", 4, 8, 465, 129, 0};
  TButton Button1{this, "Button1", 152, 144, 169, 17, "OK", 1};

 private:
  TSettings& settings_;
};

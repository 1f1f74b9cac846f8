// The status window "状態": what the program knows about its work (the health record and its
// last events) as text, read again whenever the record changes while the window is open.
#pragma once
#include <functional>
#include <memory>
#include <string>

#include "base/sjisliteral.h"
#include "ui/controls.h"

class TStatusWindow : public TForm {
 public:
  // report gives the window's text (Shift-JIS, CR LF); slot is the reference the program
  // keeps to the window, cleared when it closes.
  TStatusWindow(std::function<std::string()> report, std::unique_ptr<TStatusWindow>& slot);

  // Shows the report as it is now.
  void Refresh();

  TMemo Memo1{this, "Memo1", 8, 8, 560, 360, 0};
  TButton Button1{this, "Button1", 244, 376, 89, 25, Sjis("閉じる"), 1};

 private:
  std::function<std::string()> report_;
};

// Opens the status window, or brings the open one forward with its text read again.
void ShowStatusWindow(std::unique_ptr<TStatusWindow>& slot, std::function<std::string()> report);

// The tray's popup menu: named items with Shift-JIS captions, shown at the cursor.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "base/object.h"
#include "platform/window.h"

struct TMenuItem : TObject {
  TMenuItem(std::string name, std::string caption, std::function<void(TObject*)> onClick = {})
      : Name(std::move(name)), Caption(std::move(caption)), OnClick(std::move(onClick)) {}
  std::string Name;
  std::string Caption;  // Shift-JIS; "-" makes a separator
  bool Visible = true;
  bool Checked = false;
  std::function<void(TObject* Sender)> OnClick;
};

class TPopupMenu : public TObject {
 public:
  std::vector<TMenuItem> Items;
  std::function<void(TObject* Sender)> OnPopup;
  // The component that opened the menu last.
  TObject* PopupComponent = nullptr;
  // The window that owns the menu while it is shown.
  platform::WindowHandle Owner = nullptr;

  TMenuItem* Find(const std::string& name);
  // Runs OnPopup, shows the visible items with the top-left corner at x, y and runs the
  // chosen item's OnClick.
  void Popup(int x, int y);
};

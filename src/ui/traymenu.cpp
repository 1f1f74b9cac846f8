#include "ui/traymenu.h"

#include "platform/tray.h"

TMenuItem* TPopupMenu::Find(const std::string& name) {
  for (auto& item : Items)
    if (item.Name == name) return &item;
  return nullptr;
}

void TPopupMenu::Popup(int x, int y) {
  if (OnPopup) OnPopup(this);
  std::vector<platform::MenuEntry> entries;
  for (const auto& item : Items) entries.push_back({item.Caption, item.Visible, item.Checked});
  int chosen = platform::TrackPopupMenuAt(entries, {x, y}, Owner);
  if (chosen < 0 || chosen >= static_cast<int>(Items.size())) return;
  // A copy: the command may change the menu.
  auto onClick = Items[chosen].OnClick;
  if (onClick) onClick(&Items[chosen]);
}

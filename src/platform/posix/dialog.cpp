#include "platform/dialog.h"

#include <cstdio>

namespace platform {

// No desktop here: the control layer keeps the state and tests drive it directly.
std::unique_ptr<NativeControl> CreateNativeControl(const ControlSetup&, NativeControl*, ControlEvents) {
  return nullptr;
}

bool DialogsAvailable() { return false; }

void ShowMessageBox(const std::string& text) { std::fprintf(stderr, "Vendlume: %s\n", text.c_str()); }

bool FontInstalled(const std::string&) { return true; }

void NoteForOwner(const std::string& text) { std::fprintf(stderr, "Vendlume: %s\n", text.c_str()); }

}  // namespace platform

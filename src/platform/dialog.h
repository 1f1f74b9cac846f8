// Native windows for the settings dialogs. The control layer (ui/controls.h) keeps every
// control's state itself; a native peer, where the platform has one, shows that state in a
// real window and reports what the user does. Without a desktop (posix) there are no peers
// and the control layer runs headless.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace platform {

enum class ControlKind { Form, GroupBox, Label, Edit, Memo, Button, CheckBox, RadioButton, Bevel, Panel };

// Where a control sits and what it shows. Texts are Shift-JIS. Positions are relative to
// the parent's client area (a group box's for the controls inside it); a form's Left/Top
// of -1 centres it on the screen, its Width/Height are the outer size.
struct ControlSetup {
  ControlKind Kind = ControlKind::Label;
  std::string Caption;
  int Left = 0, Top = 0, Width = 0, Height = 0;
  int TabOrder = -1;         // -1: not a tab stop
  bool Password = false;     // edit box showing "*" for each character
  bool ReadOnly = false;     // edit box or memo the user reads but cannot change
  bool Bold = false;
  bool Vertical = false;     // bevel drawn as a vertical rule
  bool GroupStart = false;   // radio button that begins a choice (the arrow keys stay in one)
  std::string FontFace;      // Shift-JIS face name; empty takes the parent's font
  int FontHeight = 0;        // pixels
};

// Drawing for a custom-painted control. Colours are 0x00BBGGRR.
struct Rect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
};
class PaintSurface {
 public:
  virtual ~PaintSurface() = default;
  virtual Rect ClientRect() const = 0;
  virtual void HorizontalLine(int x1, int x2, int y, uint32_t color) = 0;  // x1..x2-1
  virtual void VerticalLine(int x, int y1, int y2, uint32_t color) = 0;    // y1..y2-1
  virtual void FillRect(const Rect& r, uint32_t color) = 0;
  virtual int TextHeight(const std::string& text) = 0;
  // Formatted text drawing with a clear background, clipped to r; flags as DrawText's.
  virtual void DrawFormattedText(const Rect& r, const std::string& text, uint32_t color, unsigned flags) = 0;
};

// What a native control reports back. Each may be empty.
struct ControlEvents {
  std::function<void(const std::string& text)> TextChanged;  // the user edited the text
  std::function<void()> Clicked;                             // button, check box, radio button
  std::function<void(char& key)> KeyPress;                   // key 0 swallows it
  std::function<void(int x, int y)> MouseMove;
  std::function<void(int x, int y)> MouseLeave;
  std::function<void(PaintSurface&)> Paint;
  std::function<void()> CloseRequested;                      // the form's close box
};

class NativeControl {
 public:
  virtual ~NativeControl() = default;
  virtual void SetText(const std::string& text) = 0;
  virtual void SetChecked(bool checked) = 0;
  virtual void SetEnabled(bool enabled) = 0;
  virtual void Invalidate() = 0;
  // Forms: show modeless (and bring forward), run modal until Hide, hide.
  virtual void Show() = 0;
  virtual void ShowModal() = 0;
  virtual void Hide() = 0;
  // The native handle, for tests that read the window back (0 without one).
  virtual uintptr_t Handle() const = 0;
};

// Whether this platform shows the settings dialogs (false without a desktop, where the
// settings file is the owner's interface).
bool DialogsAvailable();

// An information message box with an OK button (Shift-JIS text); returns when dismissed.
// Without a desktop the text goes to stderr.
void ShowMessageBox(const std::string& text);

// Whether the desktop has a font of that face (a Shift-JIS name) for Japanese text. True
// without a desktop, where nothing is drawn.
bool FontInstalled(const std::string& face);

// A note for the shop owner that asks for nothing and interrupts nothing (Shift-JIS text):
// on Windows an information entry of the source "Vendlume" in the Application event log;
// without a desktop a line on stderr.
void NoteForOwner(const std::string& text);

// A native peer for the control, or nullptr where the platform has no desktop.
std::unique_ptr<NativeControl> CreateNativeControl(const ControlSetup& setup, NativeControl* parent,
                                                   ControlEvents events);

}  // namespace platform

// The few controls the settings dialogs are made of. Each control keeps its own state
// (text, check mark, position); where the platform has a desktop a native peer shows it and
// reports the user's actions, otherwise the controls run headless and tests drive them
// through the same calls the peer would make (Type, Click, CloseBox …).
#pragma once
#include <cstdint>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/object.h"
#include "platform/dialog.h"


// Where a failure that leaves an event handler goes (the program's top-level handler). The
// default shows it in the error message box.
void SetUnhandledErrorHandler(std::function<void(const std::exception&)> handler);
// Runs an event handler; a failure goes to the top-level handler. False when it failed.
bool RunEventHandler(const std::function<void()>& handler);

using TNotifyEvent = std::function<void(TObject* Sender)>;
using TKeyPressEvent = std::function<void(TObject* Sender, char& Key)>;
using TMouseEvent = std::function<void(TObject* Sender, int X, int Y)>;

// The dialogs' client font.
extern const char* const kDialogFontFace;  // "ＭＳ Ｐゴシック", Shift-JIS

// Decides the face the windows of the dialogs are drawn in. A face the desktop has is used
// as asked; in place of a missing one comes the first installed of the system's Japanese UI
// fonts (with none of them, "MS UI Gothic" is asked for and the font mapper picks a face
// for Shift-JIS text). Each face is decided once per run, and the first fallback leaves the
// owner one note.
class TDialogFonts {
 public:
  using TInstalled = std::function<bool(const std::string& face)>;
  using TNote = std::function<void(const std::string& text)>;
  TDialogFonts(TInstalled installed, TNote note) : installed_(std::move(installed)), note_(std::move(note)) {}
  std::string FaceFor(const std::string& asked);

 private:
  TInstalled installed_;
  TNote note_;
  std::map<std::string, std::string> chosen_;
  bool noted_ = false;
};
// The program's: platform::FontInstalled, platform::NoteForOwner. Tests put their own in
// its place.
TDialogFonts& DialogFonts();

class TControl : public TObject {
 public:
  TControl(TControl* parent, platform::ControlKind kind, std::string name, int left, int top,
           int width, int height, std::string caption = "");
  ~TControl() override;
  TControl(const TControl&) = delete;
  TControl& operator=(const TControl&) = delete;

  const std::string Name;
  TControl* Parent() const { return parent_; }
  platform::ControlSetup& Setup() { return setup_; }
  const platform::ControlSetup& Setup() const { return setup_; }
  int Left() const { return setup_.Left; }
  int Top() const { return setup_.Top; }
  int Width() const { return setup_.Width; }
  int Height() const { return setup_.Height; }
  int TabOrder() const { return setup_.TabOrder; }
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  platform::NativeControl* Native() const { return native_.get(); }
  // The controls inside this one, in the order they were made.
  const std::vector<TControl*>& Children() const { return children_; }

  // Makes the native peers of this control and its children (once the properties are set).
  void CreateWindows();

 protected:
  virtual platform::ControlEvents NativeEvents() { return {}; }
  // Shows the control's current state in a peer just made.
  virtual void ShowState() {}
  platform::ControlSetup setup_;
  std::unique_ptr<platform::NativeControl> native_;

 private:
  TControl* parent_;
  std::vector<TControl*> children_;
  bool enabled_ = true;
};

class TLabel : public TControl {
 public:
  TLabel(TControl* parent, std::string name, int left, int top, std::string caption, bool bold = false);
  const std::string& Caption() const { return setup_.Caption; }
};

class TGroupBox : public TControl {
 public:
  TGroupBox(TControl* parent, std::string name, int l, int t, int w, int h, std::string caption)
      : TControl(parent, platform::ControlKind::GroupBox, std::move(name), l, t, w, h, std::move(caption)) {}
  TMouseEvent OnMouseDown;
};

class TBevel : public TControl {
 public:
  TBevel(TControl* parent, std::string name, int l, int t, int w, int h);
  void Paint(platform::PaintSurface& surface) const;

 protected:
  platform::ControlEvents NativeEvents() override;
};

// An edit box; a memo is the same with several lines (scroll bars, no wrap).
class TEdit : public TControl {
 public:
  TEdit(TControl* parent, std::string name, int l, int t, int w, int h, int tabOrder,
        platform::ControlKind kind = platform::ControlKind::Edit);
  const std::string& Text() const { return text_; }
  // Setting the text (also to the same text) raises OnChange.
  void SetText(const std::string& text);
  // The user types: each character goes through OnKeyPress, which may discard it (Key 0);
  // the others are inserted at the end and raise OnChange. A read-only box takes none.
  void Type(const std::string& keys);
  TNotifyEvent OnChange;
  TKeyPressEvent OnKeyPress;

 protected:
  platform::ControlEvents NativeEvents() override;
  void ShowState() override { native_->SetText(text_); }

 private:
  void UserText(const std::string& text);
  std::string text_;
};

class TMemo : public TEdit {
 public:
  TMemo(TControl* parent, std::string name, int l, int t, int w, int h, int tabOrder)
      : TEdit(parent, std::move(name), l, t, w, h, tabOrder, platform::ControlKind::Memo) {}
};

class TButton : public TControl {
 public:
  TButton(TControl* parent, std::string name, int l, int t, int w, int h, std::string caption, int tabOrder);
  const std::string& Caption() const { return setup_.Caption; }
  // A click by the user: ignored while the button is disabled.
  void Click();
  TNotifyEvent OnClick;

 protected:
  platform::ControlEvents NativeEvents() override;
};

class TCheckBox : public TControl {
 public:
  TCheckBox(TControl* parent, std::string name, int l, int t, int w, int h, std::string caption, int tabOrder);
  bool Checked() const { return checked_; }
  // A change of state raises OnClick, as a click would.
  void SetChecked(bool checked);
  virtual void Click() { SetChecked(!checked_); }
  TNotifyEvent OnClick;

 protected:
  TCheckBox(TControl* parent, platform::ControlKind kind, std::string name, int l, int t, int w, int h,
            std::string caption, int tabOrder);
  // Called before the state turns on.
  virtual void CheckingOn() {}
  platform::ControlEvents NativeEvents() override;
  void ShowState() override { native_->SetChecked(checked_); }

 private:
  bool checked_ = false;
};

// One of the radio buttons of a choice: the buttons of one parent from one made with
// groupStart to the next (in the order they are made). Checking one clears the others.
class TRadioButton : public TCheckBox {
 public:
  TRadioButton(TControl* parent, std::string name, int l, int t, int w, int h, std::string caption, int tabOrder,
               bool groupStart = false);
  // The user chooses this one.
  void Click() override { SetChecked(true); }

 private:
  // Checking clears the others of the choice first.
  void CheckingOn() override;
  // The other radio buttons of the same choice.
  std::vector<TRadioButton*> Others() const;
};

// A top-level window: outer size, centred unless placed, system menu with the close box
// only, sizeable border (the controls keep their positions).
class TForm : public TControl {
 public:
  TForm(std::string name, std::string caption, int width, int height, int left = -1, int top = -1);
  const std::string& Caption() const { return setup_.Caption; }
  bool Visible() const { return visible_; }
  bool Modal() const { return modal_; }
  void Show();
  // Shows the form and returns when it has closed; the form stays alive until then, also
  // when it is closed and released inside. ModalHook (when set, in tests) stands in for the
  // user while the form is up.
  void ShowModal();
  // The user asks to close (close box, or a button that closes): OnCloseQuery may refuse,
  // OnClose may fail; either keeps the form open. Then OnClosed (the owner releases it).
  // Returns whether the form closed.
  bool Close();
  std::function<bool(TObject* Sender)> OnCloseQuery;
  TNotifyEvent OnClose;
  std::function<void()> OnClosed;
  static std::function<void(TForm&)> ModalHook;

 protected:
  platform::ControlEvents NativeEvents() override;

 private:
  bool visible_ = false;
  bool modal_ = false;
};

// The owner's reference to a single-instance dialog. Release clears it at once and frees the
// dialog from the outermost message loop, once every handler on the stack (the one that
// closed it, a wait that pumped, a modal loop) has returned.
template <typename T>
void ReleaseLater(std::unique_ptr<T>& ref);
void PostRelease(std::function<void()> release);
template <typename T>
void ReleaseLater(std::unique_ptr<T>& ref) {
  T* dialog = ref.release();
  PostRelease([dialog] { delete dialog; });
}

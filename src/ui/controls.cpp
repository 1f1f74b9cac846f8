#include "ui/controls.h"

#include <algorithm>

#include "base/sjisliteral.h"
#include "platform/application.h"
#include "platform/syscolor.h"

namespace {

std::function<void(const std::exception&)>& ErrorHandler() {
  static std::function<void(const std::exception&)> handler = [](const std::exception& e) {
    platform::ShowErrorMessage("Vendlume", e.what());
  };
  return handler;
}

}  // namespace

const char* const kDialogFontFace = [] {
  static const std::string face = Sjis("ＭＳ Ｐゴシック");
  return face.c_str();
}();

std::string TDialogFonts::FaceFor(const std::string& asked) {
  auto known = chosen_.find(asked);
  if (known != chosen_.end()) return known->second;
  std::string face = asked;
  if (!installed_(asked)) {
    static const char* const kJapaneseUiFaces[] = {"MS UI Gothic", "Yu Gothic UI", "Meiryo UI"};
    std::string found;
    for (const char* candidate : kJapaneseUiFaces)
      if (installed_(candidate)) {
        found = candidate;
        break;
      }
    face = found.empty() ? kJapaneseUiFaces[0] : found;
    if (!noted_) {
      noted_ = true;
      note_(Sjis("設定画面のフォント「") + asked + Sjis("」がないため、") +
            (found.empty() ? Sjis("システムの日本語フォント") : Sjis("「") + found + Sjis("」")) +
            Sjis("で表示します。"));
    }
  }
  chosen_[asked] = face;
  return face;
}

TDialogFonts& DialogFonts() {
  static TDialogFonts fonts(platform::FontInstalled, platform::NoteForOwner);
  return fonts;
}

void SetUnhandledErrorHandler(std::function<void(const std::exception&)> handler) {
  ErrorHandler() = std::move(handler);
}

bool RunEventHandler(const std::function<void()>& handler) {
  if (!handler) return true;
  platform::HandlerScope handling;  // a dialog it closes is freed after it has returned
  try {
    handler();
    return true;
  } catch (const std::exception& e) {
    ErrorHandler()(e);
    return false;
  }
}

void PostRelease(std::function<void()> release) { platform::ReleaseWhenUnwound(std::move(release)); }

TControl::TControl(TControl* parent, platform::ControlKind kind, std::string name, int left, int top,
                   int width, int height, std::string caption)
    : Name(std::move(name)), parent_(parent) {
  setup_.Kind = kind;
  setup_.Left = left;
  setup_.Top = top;
  setup_.Width = width;
  setup_.Height = height;
  setup_.Caption = std::move(caption);
  if (parent_) parent_->children_.push_back(this);
}

TControl::~TControl() {
  // Children are members of the dialog and die with it; only forget them here.
  if (parent_) {
    auto& siblings = parent_->children_;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
  }
}

void TControl::SetEnabled(bool enabled) {
  enabled_ = enabled;
  if (native_) native_->SetEnabled(enabled);
}

void TControl::CreateWindows() {
  if (!native_) {
    platform::ControlSetup shown = setup_;
    if (!shown.FontFace.empty()) shown.FontFace = DialogFonts().FaceFor(shown.FontFace);
    native_ = platform::CreateNativeControl(shown, parent_ ? parent_->native_.get() : nullptr, NativeEvents());
    if (native_ && !enabled_) native_->SetEnabled(false);
    if (native_) ShowState();
  }
  // Siblings are made in tab order (the platform's tab order is their creation order),
  // controls that take no focus first.
  std::vector<TControl*> order = children_;
  std::stable_sort(order.begin(), order.end(),
                   [](const TControl* a, const TControl* b) { return a->TabOrder() < b->TabOrder(); });
  for (TControl* child : order) child->CreateWindows();
}

TLabel::TLabel(TControl* parent, std::string name, int left, int top, std::string caption, bool bold)
    : TControl(parent, platform::ControlKind::Label, std::move(name), left, top, 0, 0, std::move(caption)) {
  setup_.Bold = bold;
}

TBevel::TBevel(TControl* parent, std::string name, int l, int t, int w, int h)
    : TControl(parent, platform::ControlKind::Bevel, std::move(name), l, t, w, h) {
  setup_.Vertical = h > w;
}

void TBevel::Paint(platform::PaintSurface& s) const {
  // A raised rule: the light line first (top or left), the shadow beside it.
  const uint32_t light = platform::SystemColor(20), dark = platform::SystemColor(16);
  platform::Rect r = s.ClientRect();
  if (setup_.Vertical) {
    s.VerticalLine(r.Left, r.Top, r.Bottom, light);
    s.VerticalLine(r.Left + 1, r.Top, r.Bottom, dark);
  } else {
    s.HorizontalLine(r.Left, r.Right, r.Top, light);
    s.HorizontalLine(r.Left, r.Right, r.Top + 1, dark);
  }
}

platform::ControlEvents TBevel::NativeEvents() {
  platform::ControlEvents e;
  e.Paint = [this](platform::PaintSurface& s) { Paint(s); };
  return e;
}

TEdit::TEdit(TControl* parent, std::string name, int l, int t, int w, int h, int tabOrder,
             platform::ControlKind kind)
    : TControl(parent, kind, std::move(name), l, t, w, h) {
  setup_.TabOrder = tabOrder;
}

void TEdit::SetText(const std::string& text) {
  text_ = text;
  if (native_) native_->SetText(text);
  RunEventHandler([&] { if (OnChange) OnChange(this); });
}

void TEdit::UserText(const std::string& text) {
  text_ = text;
  RunEventHandler([&] { if (OnChange) OnChange(this); });
}

void TEdit::Type(const std::string& keys) {
  if (setup_.ReadOnly) return;
  for (char key : keys) {
    char k = key;
    if (!RunEventHandler([&] { if (OnKeyPress) OnKeyPress(this, k); })) continue;
    if (k == 0) continue;
    if (native_) native_->SetText(text_ + k);
    UserText(text_ + k);
  }
}

platform::ControlEvents TEdit::NativeEvents() {
  platform::ControlEvents e;
  e.TextChanged = [this](const std::string& text) { UserText(text); };
  e.KeyPress = [this](char& key) {
    if (!RunEventHandler([&] { if (OnKeyPress) OnKeyPress(this, key); })) key = 0;
  };
  return e;
}

TButton::TButton(TControl* parent, std::string name, int l, int t, int w, int h, std::string caption, int tabOrder)
    : TControl(parent, platform::ControlKind::Button, std::move(name), l, t, w, h, std::move(caption)) {
  setup_.TabOrder = tabOrder;
}

void TButton::Click() {
  if (!Enabled()) return;
  RunEventHandler([&] { if (OnClick) OnClick(this); });
}

platform::ControlEvents TButton::NativeEvents() {
  platform::ControlEvents e;
  e.Clicked = [this] { Click(); };
  return e;
}

TCheckBox::TCheckBox(TControl* parent, std::string name, int l, int t, int w, int h, std::string caption,
                     int tabOrder)
    : TCheckBox(parent, platform::ControlKind::CheckBox, std::move(name), l, t, w, h, std::move(caption), tabOrder) {}

TCheckBox::TCheckBox(TControl* parent, platform::ControlKind kind, std::string name, int l, int t, int w, int h,
                     std::string caption, int tabOrder)
    : TControl(parent, kind, std::move(name), l, t, w, h, std::move(caption)) {
  setup_.TabOrder = tabOrder;
}

void TCheckBox::SetChecked(bool checked) {
  if (checked == checked_) return;
  if (checked) CheckingOn();
  checked_ = checked;
  if (native_) native_->SetChecked(checked);
  RunEventHandler([&] { if (OnClick) OnClick(this); });
}

platform::ControlEvents TCheckBox::NativeEvents() {
  platform::ControlEvents e;
  e.Clicked = [this] { Click(); };
  return e;
}

TRadioButton::TRadioButton(TControl* parent, std::string name, int l, int t, int w, int h, std::string caption,
                           int tabOrder, bool groupStart)
    : TCheckBox(parent, platform::ControlKind::RadioButton, std::move(name), l, t, w, h, std::move(caption),
                tabOrder) {
  setup_.GroupStart = groupStart;
}

std::vector<TRadioButton*> TRadioButton::Others() const {
  std::vector<TRadioButton*> choice;
  bool mine = false;
  for (TControl* sibling : Parent()->Children()) {
    auto* radio = dynamic_cast<TRadioButton*>(sibling);
    if (!radio) continue;
    if (radio->Setup().GroupStart) {
      if (mine) break;  // the next choice begins
      choice.clear();
    }
    if (radio == this) mine = true;
    else choice.push_back(radio);
  }
  return choice;
}

void TRadioButton::CheckingOn() {
  for (TRadioButton* other : Others()) other->SetChecked(false);
}

std::function<void(TForm&)> TForm::ModalHook;

TForm::TForm(std::string name, std::string caption, int width, int height, int left, int top)
    : TControl(nullptr, platform::ControlKind::Form, std::move(name), left, top, width, height, std::move(caption)) {
  setup_.FontFace = kDialogFontFace;
  setup_.FontHeight = 12;
}

void TForm::Show() {
  CreateWindows();
  visible_ = true;
  if (native_) native_->Show();
}

void TForm::ShowModal() {
  platform::HandlerScope modal;  // closing the form inside frees it only after this returns
  CreateWindows();
  visible_ = true;
  modal_ = true;
  if (ModalHook) {
    if (native_) native_->Show();
    ModalHook(*this);
  } else if (native_) {
    native_->ShowModal();
  }
  modal_ = false;
}

bool TForm::Close() {
  bool allowed = true;
  if (!RunEventHandler([&] { if (OnCloseQuery) allowed = OnCloseQuery(this); }) || !allowed) return false;
  if (!RunEventHandler([&] { if (OnClose) OnClose(this); })) return false;
  visible_ = false;
  if (native_) native_->Hide();
  if (OnClosed) {
    auto closed = OnClosed;  // may free this form
    closed();
  }
  return true;
}

platform::ControlEvents TForm::NativeEvents() {
  platform::ControlEvents e;
  e.CloseRequested = [this] { Close(); };
  return e;
}

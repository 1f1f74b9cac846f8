#include "platform/dialog.h"

#include <windows.h>

#include <vector>

#include "platform/win32/widetext.h"
#include "platform/win32/application.h"

namespace platform {
namespace {

constexpr wchar_t kFormClass[] = L"VendlumeForm";
constexpr wchar_t kPanelClass[] = L"VendlumeTransPanel";
constexpr wchar_t kBevelClass[] = L"VendlumeBevel";

std::wstring WindowText(HWND hwnd) {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
  return text;
}

int CALLBACK FaceFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}

// The face as the control layer chose it (ui/controls.h: a missing face is replaced there).
HFONT MakeFont(const std::string& face, int height, bool bold) {
  LOGFONTW lf{};
  lf.lfHeight = -height;
  lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
  lf.lfCharSet = SHIFTJIS_CHARSET;
  std::wstring w = Wide(face);
  lstrcpynW(lf.lfFaceName, w.c_str(), LF_FACESIZE);
  return CreateFontIndirectW(&lf);
}

class Surface : public PaintSurface {
 public:
  Surface(HWND hwnd, HDC dc, HFONT font) : hwnd_(hwnd), dc_(dc) {
    if (font) SelectObject(dc_, font);
  }
  Rect ClientRect() const override {
    RECT r;
    GetClientRect(hwnd_, &r);
    return {r.left, r.top, r.right, r.bottom};
  }
  void HorizontalLine(int x1, int x2, int y, uint32_t color) override { FillRect({x1, y, x2, y + 1}, color); }
  void VerticalLine(int x, int y1, int y2, uint32_t color) override { FillRect({x, y1, x + 1, y2}, color); }
  void FillRect(const Rect& r, uint32_t color) override {
    RECT rc{r.Left, r.Top, r.Right, r.Bottom};
    HBRUSH brush = CreateSolidBrush(color);
    ::FillRect(dc_, &rc, brush);
    DeleteObject(brush);
  }
  int TextHeight(const std::string& text) override {
    std::wstring w = Wide(text);
    SIZE size{};
    GetTextExtentPoint32W(dc_, w.c_str(), static_cast<int>(w.size()), &size);
    return size.cy;
  }
  void DrawFormattedText(const Rect& r, const std::string& text, uint32_t color, unsigned flags) override {
    RECT rc{r.Left, r.Top, r.Right, r.Bottom};
    std::wstring w = Wide(text);
    SetBkMode(dc_, TRANSPARENT);
    SetTextColor(dc_, color);
    ::DrawTextW(dc_, w.c_str(), static_cast<int>(w.size()), &rc, flags);
  }

 private:
  HWND hwnd_;
  HDC dc_;
};

class Win32Control;
Win32Control* PeerOf(HWND hwnd) { return reinterpret_cast<Win32Control*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)); }

class Win32Control : public NativeControl {
 public:
  Win32Control(const ControlSetup& setup, Win32Control* parent, ControlEvents events)
      : setup_(setup), parent_(parent), events_(std::move(events)) {}
  ~Win32Control() override {
    if (hwnd_) DestroyWindow(hwnd_);
    if (font_) DeleteObject(font_);
  }

  bool Create();

  void SetText(const std::string& text) override {
    if (setup_.Kind == ControlKind::Panel) return Invalidate();
    settingText_ = true;
    std::wstring w = Wide(text);
    SetWindowTextW(hwnd_, w.c_str());
    settingText_ = false;
  }
  void SetChecked(bool checked) override {
    SendMessageW(hwnd_, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    // Tab enters a choice at its checked radio button, the only tab stop of the group.
    if (setup_.Kind == ControlKind::RadioButton && setup_.TabOrder >= 0) {
      LONG_PTR style = GetWindowLongPtrW(hwnd_, GWL_STYLE);
      SetWindowLongPtrW(hwnd_, GWL_STYLE, checked ? style | WS_TABSTOP : style & ~LONG_PTR{WS_TABSTOP});
    }
  }
  void SetEnabled(bool enabled) override { EnableWindow(hwnd_, enabled); }
  void Invalidate() override { InvalidateRect(hwnd_, nullptr, TRUE); }
  void Show() override {
    ShowWindow(hwnd_, SW_SHOWNORMAL);
    SetForegroundWindow(hwnd_);
  }
  void ShowModal() override;
  void Hide() override {
    ShowWindow(hwnd_, SW_HIDE);
    modalDone_ = true;
  }
  uintptr_t Handle() const override { return reinterpret_cast<uintptr_t>(hwnd_); }

  // A notification from the control itself (WM_COMMAND at its parent).
  void Command(WORD code) {
    if (setup_.Kind == ControlKind::Edit || setup_.Kind == ControlKind::Memo) {
      if (code == EN_CHANGE && !settingText_ && events_.TextChanged) events_.TextChanged(Narrow(WindowText(hwnd_)));
    } else if (code == BN_CLICKED && events_.Clicked) {
      events_.Clicked();
    }
  }
  HFONT Font() const { return font_ ? font_ : parent_ ? parent_->Font() : nullptr; }

  static LRESULT CALLBACK FormProc(HWND, UINT, WPARAM, LPARAM);
  static LRESULT CALLBACK PanelProc(HWND, UINT, WPARAM, LPARAM);
  static LRESULT CALLBACK SubclassProc(HWND, UINT, WPARAM, LPARAM);

 private:
  ControlSetup setup_;
  Win32Control* parent_;
  ControlEvents events_;
  HWND hwnd_ = nullptr;
  HFONT font_ = nullptr;
  WNDPROC original_ = nullptr;
  bool settingText_ = false;
  bool modalDone_ = true;
  bool tracking_ = false;
};

// Messages every window of the dialogs shares: notifications of child controls go to the
// child's peer (group boxes hold controls too); static and check-box backgrounds follow the
// dialog face.
bool Common(HWND, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  if (msg == WM_COMMAND && lp) {
    if (Win32Control* child = PeerOf(reinterpret_cast<HWND>(lp))) child->Command(HIWORD(wp));
    result = 0;
    return true;
  }
  if (msg == WM_CTLCOLORSTATIC || msg == WM_CTLCOLORBTN) {
    HDC dc = reinterpret_cast<HDC>(wp);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    result = reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    return true;
  }
  return false;
}

LRESULT CALLBACK Win32Control::FormProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  LRESULT result;
  if (Common(hwnd, msg, wp, lp, result)) return result;
  Win32Control* self = PeerOf(hwnd);
  if (msg == WM_CLOSE) {
    if (self && self->events_.CloseRequested) self->events_.CloseRequested();
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT CALLBACK Win32Control::PanelProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  Win32Control* self = PeerOf(hwnd);
  if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      Surface surface(hwnd, dc, self->Font());
      if (self->events_.Paint) self->events_.Paint(surface);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_MOUSEMOVE:
      if (!self->tracking_) {
        TRACKMOUSEEVENT t{sizeof t, TME_LEAVE, hwnd, 0};
        self->tracking_ = TrackMouseEvent(&t);
      }
      if (self->events_.MouseMove)
        self->events_.MouseMove(static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp)));
      return 0;
    case WM_MOUSELEAVE: {
      self->tracking_ = false;
      POINT p;
      GetCursorPos(&p);
      ScreenToClient(hwnd, &p);
      if (self->events_.MouseLeave) self->events_.MouseLeave(p.x, p.y);
      return 0;
    }
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT CALLBACK Win32Control::SubclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  Win32Control* self = PeerOf(hwnd);
  LRESULT result;
  if (Common(hwnd, msg, wp, lp, result)) return result;
  if (msg == WM_ERASEBKGND && self->setup_.Kind == ControlKind::GroupBox) {
    // A group box paints only its frame; the face behind its controls is ours to fill.
    RECT r;
    GetClientRect(hwnd, &r);
    FillRect(reinterpret_cast<HDC>(wp), &r, GetSysColorBrush(COLOR_BTNFACE));
    return 1;
  }
  if (msg == WM_CHAR && self->events_.KeyPress && wp < 0x80) {
    char key = static_cast<char>(wp);
    self->events_.KeyPress(key);
    if (key == 0) return 0;
    wp = static_cast<unsigned char>(key);
  }
  return CallWindowProcW(self->original_, hwnd, msg, wp, lp);
}

void RegisterClasses() {
  static bool done = false;
  if (done) return;
  done = true;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpfnWndProc = Win32Control::FormProc;
  wc.lpszClassName = kFormClass;
  wc.hIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
  RegisterClassExW(&wc);
  wc.lpfnWndProc = Win32Control::PanelProc;
  wc.lpszClassName = kPanelClass;
  wc.hIcon = nullptr;
  wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
  RegisterClassExW(&wc);
  wc.lpszClassName = kBevelClass;
  RegisterClassExW(&wc);
}

bool Win32Control::Create() {
  RegisterClasses();
  HINSTANCE instance = GetModuleHandleW(nullptr);
  std::wstring caption = Wide(setup_.Caption);
  if (!setup_.FontFace.empty()) font_ = MakeFont(setup_.FontFace, setup_.FontHeight, setup_.Bold);
  else if (setup_.Bold && parent_) {
    LOGFONTW lf{};
    GetObjectW(parent_->Font(), sizeof lf, &lf);
    lf.lfWeight = FW_BOLD;
    font_ = CreateFontIndirectW(&lf);
  }
  if (setup_.Kind == ControlKind::Form) {
    int left = setup_.Left, top = setup_.Top;
    if (left < 0 || top < 0) {
      left = (GetSystemMetrics(SM_CXSCREEN) - setup_.Width) / 2;
      top = (GetSystemMetrics(SM_CYSCREEN) - setup_.Height) / 2;
    }
    hwnd_ = CreateWindowExW(WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, kFormClass, caption.c_str(),
                            WS_CAPTION | WS_SYSMENU | WS_THICKFRAME, left, top, setup_.Width,
                            setup_.Height, nullptr, nullptr, instance, nullptr);
  } else {
    const wchar_t* cls = L"STATIC";
    DWORD style = WS_CHILD | WS_VISIBLE;
    DWORD exStyle = 0;
    int width = setup_.Width, height = setup_.Height;
    switch (setup_.Kind) {
      case ControlKind::GroupBox: cls = L"BUTTON"; style |= BS_GROUPBOX; break;
      case ControlKind::Label: {
        // Labels take the size of their text.
        HDC dc = GetDC(nullptr);
        HGDIOBJ old = SelectObject(dc, font_ ? font_ : parent_->Font());
        SIZE size{};
        GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &size);
        SelectObject(dc, old);
        ReleaseDC(nullptr, dc);
        width = size.cx;
        height = size.cy;
        style |= SS_NOPREFIX;
        break;
      }
      case ControlKind::Edit:
        cls = L"EDIT";
        exStyle = WS_EX_CLIENTEDGE;
        style |= ES_AUTOHSCROLL | (setup_.Password ? ES_PASSWORD : 0) | (setup_.ReadOnly ? ES_READONLY : 0);
        break;
      case ControlKind::Memo:
        cls = L"EDIT";
        exStyle = WS_EX_CLIENTEDGE;
        style |= ES_MULTILINE | ES_WANTRETURN | ES_AUTOHSCROLL | ES_AUTOVSCROLL | WS_HSCROLL | WS_VSCROLL |
                 (setup_.ReadOnly ? ES_READONLY : 0);
        break;
      case ControlKind::Button: cls = L"BUTTON"; style |= BS_PUSHBUTTON; break;
      case ControlKind::CheckBox: cls = L"BUTTON"; style |= BS_AUTOCHECKBOX; break;
      case ControlKind::RadioButton: cls = L"BUTTON"; style |= BS_AUTORADIOBUTTON; break;
      case ControlKind::Bevel: cls = kBevelClass; break;
      case ControlKind::Panel: cls = kPanelClass; break;
      case ControlKind::Form: break;
    }
    bool focusable = setup_.Kind == ControlKind::Edit || setup_.Kind == ControlKind::Memo ||
                     setup_.Kind == ControlKind::Button || setup_.Kind == ControlKind::CheckBox ||
                     setup_.Kind == ControlKind::RadioButton;
    if (focusable && setup_.TabOrder >= 0) style |= WS_TABSTOP;
    // The arrow keys walk a group: from a control marked WS_GROUP to the next one marked.
    // Each choice of radio buttons is one group; every other control is a group of its own,
    // which also ends the choice before it.
    const bool radio = setup_.Kind == ControlKind::RadioButton;
    if (focusable && (!radio || setup_.GroupStart)) style |= WS_GROUP;
    // Tab and the arrow keys walk into a group box's controls.
    if (setup_.Kind == ControlKind::GroupBox) exStyle |= WS_EX_CONTROLPARENT;
    hwnd_ = CreateWindowExW(exStyle, cls, caption.c_str(), style, setup_.Left, setup_.Top, width, height,
                            parent_->hwnd_, nullptr, instance, nullptr);
    if (hwnd_ && setup_.Kind != ControlKind::Panel && setup_.Kind != ControlKind::Bevel) {
      SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
      original_ = reinterpret_cast<WNDPROC>(
          SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SubclassProc)));
    }
    if (hwnd_ && setup_.Password) SendMessageW(hwnd_, EM_SETPASSWORDCHAR, L'*', 0);
  }
  if (!hwnd_) return false;
  SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  if (setup_.Kind == ControlKind::Form) {
    // Only the close box: no minimise or maximise entries in the system menu either.
    HMENU menu = GetSystemMenu(hwnd_, FALSE);
    DeleteMenu(menu, SC_MINIMIZE, MF_BYCOMMAND);
    DeleteMenu(menu, SC_MAXIMIZE, MF_BYCOMMAND);
    DeleteMenu(menu, SC_RESTORE, MF_BYCOMMAND);
  }
  SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(Font()), FALSE);
  return true;
}

BOOL CALLBACK DisableOther(HWND hwnd, LPARAM list) {
  auto* disabled = reinterpret_cast<std::vector<HWND>*>(list);
  if (hwnd != disabled->front() && IsWindowVisible(hwnd) && IsWindowEnabled(hwnd)) {
    EnableWindow(hwnd, FALSE);
    disabled->push_back(hwnd);
  }
  return TRUE;
}

void Win32Control::ShowModal() {
  // Every other window of the program is disabled until this one is hidden.
  std::vector<HWND> disabled{hwnd_};
  EnumThreadWindows(GetCurrentThreadId(), DisableOther, reinterpret_cast<LPARAM>(&disabled));
  Show();
  modalDone_ = false;
  RunModalLoop(hwnd_, modalDone_);
  for (size_t i = 1; i < disabled.size(); ++i) EnableWindow(disabled[i], TRUE);
}

}  // namespace

bool DialogsAvailable() { return true; }

void ShowMessageBox(const std::string& text) {
  std::wstring w = Wide(text);
  MessageBoxW(GetActiveWindow(), w.c_str(), L"Vendlume", MB_OK | MB_ICONINFORMATION);
}

bool FontInstalled(const std::string& face) {
  LOGFONTW lf{};
  lf.lfCharSet = SHIFTJIS_CHARSET;
  std::wstring w = Wide(face);
  lstrcpynW(lf.lfFaceName, w.c_str(), LF_FACESIZE);
  HDC dc = GetDC(nullptr);
  bool found = false;
  EnumFontFamiliesExW(dc, &lf, FaceFound, reinterpret_cast<LPARAM>(&found), 0);
  ReleaseDC(nullptr, dc);
  return found;
}

void NoteForOwner(const std::string& text) {
  // No message file is registered for the source (that needs an installer and the
  // administrator): the event viewer shows the text as the event's inserted string.
  HANDLE source = RegisterEventSourceW(nullptr, L"Vendlume");
  if (!source) return;
  std::wstring w = Wide(text);
  LPCWSTR strings[] = {w.c_str()};
  ReportEventW(source, EVENTLOG_INFORMATION_TYPE, 0, 1, nullptr, 1, 0, strings, nullptr);
  DeregisterEventSource(source);
}

std::unique_ptr<NativeControl> CreateNativeControl(const ControlSetup& setup, NativeControl* parent,
                                                   ControlEvents events) {
  auto* p = static_cast<Win32Control*>(parent);
  if (setup.Kind != ControlKind::Form && !p) return nullptr;
  auto control = std::make_unique<Win32Control>(setup, p, std::move(events));
  if (!control->Create()) return nullptr;  // no desktop (a console session): headless
  return control;
}

}  // namespace platform

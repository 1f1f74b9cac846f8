#include "ui/transpanel.h"

#include "publish/colortext.h"

namespace {

constexpr int32_t kBtnFace = static_cast<int32_t>(0x8000000F);
constexpr int32_t kBtnShadow = static_cast<int32_t>(0x80000010);
constexpr int32_t kBtnHighlight = static_cast<int32_t>(0x80000014);

constexpr unsigned kDtLeft = 0, kDtCenter = 1, kDtRight = 2, kDtVCenter = 4, kDtExpandTabs = 0x40;

// One-pixel rings on r, left and top in `top`, right and bottom in `bottom`; r shrinks.
void Rings(platform::PaintSurface& s, platform::Rect& r, int count, uint32_t top, uint32_t bottom) {
  for (int i = 0; i < count; ++i) {
    s.HorizontalLine(r.Left, r.Right, r.Top, top);
    s.VerticalLine(r.Left, r.Top, r.Bottom, top);
    s.HorizontalLine(r.Left, r.Right, r.Bottom - 1, bottom);
    s.VerticalLine(r.Right - 1, r.Top, r.Bottom, bottom);
    ++r.Left, ++r.Top, --r.Right, --r.Bottom;
  }
}

void Bevel(platform::PaintSurface& s, platform::Rect& r, TBevelCut cut, int width) {
  if (cut == TBevelCut::None) return;
  uint32_t light = ColorToRGB(kBtnHighlight), dark = ColorToRGB(kBtnShadow);
  if (cut == TBevelCut::Raised)
    Rings(s, r, width, light, dark);
  else
    Rings(s, r, width, dark, light);
}

}  // namespace

TTransPanel::TTransPanel(TControl* parent, std::string name, int l, int t, int w, int h)
    : TControl(parent, platform::ControlKind::Panel, std::move(name), l, t, w, h), color_(kBtnFace) {}

void TTransPanel::Repaint() {
  if (native_) native_->Invalidate();
}

void TTransPanel::SetCaption(const std::string& caption) {
  if (caption == setup_.Caption) return;
  setup_.Caption = caption;
  Repaint();
}

void TTransPanel::SetColor(int32_t color) {
  color_ = color;
  Repaint();
}

void TTransPanel::SetFontColor(int32_t color) {
  fontColor_ = color;
  Repaint();
}

void TTransPanel::Paint(platform::PaintSurface& s) const {
  platform::Rect r = s.ClientRect();
  uint32_t fill = ColorToRGB(color_);
  Bevel(s, r, BevelOuter, BevelWidth);
  Rings(s, r, BorderWidth, fill, fill);
  Bevel(s, r, BevelInner, BevelWidth);
  if (!Transparent) s.FillRect(r, fill);
  int h = s.TextHeight("W");
  r.Top = (r.Top + r.Bottom - h) / 2;
  r.Bottom = r.Top + h;
  unsigned align = Alignment == TAlignment::Left ? kDtLeft : Alignment == TAlignment::Right ? kDtRight : kDtCenter;
  s.DrawFormattedText(r, setup_.Caption, ColorToRGB(fontColor_), align | kDtExpandTabs | kDtVCenter);
}

void TTransPanel::MouseMove(int x, int y) {
  RunEventHandler([&] { if (OnMouseMove) OnMouseMove(this, x, y); });
}

void TTransPanel::MouseLeave(int x, int y) {
  bool outside = x < 0 || x >= Width() || y < 0 || y >= Height();
  if (outside) RunEventHandler([&] { if (OnMouseLeave) OnMouseLeave(this, x, y); });
}

platform::ControlEvents TTransPanel::NativeEvents() {
  platform::ControlEvents e;
  e.Paint = [this](platform::PaintSurface& s) { Paint(s); };
  e.MouseMove = [this](int x, int y) { MouseMove(x, y); };
  e.MouseLeave = [this](int x, int y) { MouseLeave(x, y); };
  return e;
}

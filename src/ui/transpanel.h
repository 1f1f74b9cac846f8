// TTransPanel: the custom-painted panel of the output-items dialog's colour preview. It
// paints a raised one-pixel bevel, its background colour and its caption centred in its
// font colour, repaints at once when either colour changes, and reports mouse moves over it
// and the pointer leaving it.
#pragma once
#include <cstdint>

#include "ui/controls.h"

enum class TAlignment { Left, Right, Center };
enum class TBevelCut { None, Lowered, Raised };

class TTransPanel : public TControl {
 public:
  TTransPanel(TControl* parent, std::string name, int l = 0, int t = 0, int w = 185, int h = 41);

  TAlignment Alignment = TAlignment::Center;
  TBevelCut BevelOuter = TBevelCut::Raised;
  TBevelCut BevelInner = TBevelCut::None;
  int BevelWidth = 1;
  int BorderWidth = 0;
  bool Transparent = false;

  const std::string& Caption() const { return setup_.Caption; }
  void SetCaption(const std::string& caption);
  // Colours (colour values: 0x00BBGGRR or a system colour 0x80000000 + n).
  int32_t Color() const { return color_; }
  void SetColor(int32_t color);
  int32_t FontColor() const { return fontColor_; }
  void SetFontColor(int32_t color);

  // Paints the panel on the surface, system colours resolved to the desktop's current ones.
  void Paint(platform::PaintSurface& surface) const;

  // The pointer moved over the panel / is somewhere else now (panel coordinates). A leave
  // reaches OnMouseLeave only when the point really lies outside the panel.
  void MouseMove(int x, int y);
  void MouseLeave(int x, int y);
  TMouseEvent OnMouseMove;
  TMouseEvent OnMouseLeave;

 protected:
  platform::ControlEvents NativeEvents() override;

 private:
  void Repaint();
  int32_t color_;
  int32_t fontColor_ = 0;
};

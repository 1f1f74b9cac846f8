#include "platform/colorpicker.h"

#include <windows.h>
#include <commdlg.h>

namespace platform {

std::optional<uint32_t> PickColor(uint32_t initial) {
  static COLORREF custom[16] = {};
  CHOOSECOLORW cc{};
  cc.lStructSize = sizeof cc;
  cc.hwndOwner = GetActiveWindow();
  cc.rgbResult = initial & 0x00FFFFFF;
  cc.lpCustColors = custom;
  cc.Flags = CC_RGBINIT;  // the picker's own three-dimensional look
  if (!ChooseColorW(&cc)) return std::nullopt;
  return static_cast<uint32_t>(cc.rgbResult & 0x00FFFFFF);
}

}  // namespace platform

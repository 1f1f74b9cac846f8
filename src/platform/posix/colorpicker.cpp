#include "platform/colorpicker.h"

namespace platform {

std::optional<uint32_t> PickColor(uint32_t) { return std::nullopt; }

}  // namespace platform

// The platform's colour picker.
#pragma once
#include <cstdint>
#include <optional>

namespace platform {

// Opens the picker modally with the initial colour (0x00BBGGRR); the chosen colour, or
// nothing when the user cancels (and always nothing where there is no desktop).
std::optional<uint32_t> PickColor(uint32_t initial);

}  // namespace platform

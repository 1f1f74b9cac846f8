#include "platform/syscolor.h"

#include <array>
#include <cstddef>

namespace platform {
namespace {

constexpr uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b) { return r | (g << 8) | (b << 16); }

// No desktop to ask here: the classic Windows scheme stands in, so that pages rendered
// with system colours look as they would on a plainly configured Windows machine.
constexpr std::array<uint32_t, 25> kClassicScheme = {
    Rgb(192, 192, 192),  // scroll bar
    Rgb(0, 128, 128),    // desktop background
    Rgb(0, 0, 128),      // active caption
    Rgb(128, 128, 128),  // inactive caption
    Rgb(192, 192, 192),  // menu
    Rgb(255, 255, 255),  // window
    Rgb(0, 0, 0),        // window frame
    Rgb(0, 0, 0),        // menu text
    Rgb(0, 0, 0),        // window text
    Rgb(255, 255, 255),  // caption text
    Rgb(192, 192, 192),  // active border
    Rgb(192, 192, 192),  // inactive border
    Rgb(128, 128, 128),  // application workspace
    Rgb(0, 0, 128),      // highlight
    Rgb(255, 255, 255),  // highlight text
    Rgb(192, 192, 192),  // button face
    Rgb(128, 128, 128),  // button shadow
    Rgb(128, 128, 128),  // grey text
    Rgb(0, 0, 0),        // button text
    Rgb(192, 192, 192),  // inactive caption text
    Rgb(255, 255, 255),  // button highlight
    Rgb(0, 0, 0),        // 3-D dark shadow
    Rgb(223, 223, 223),  // 3-D light
    Rgb(0, 0, 0),        // tooltip text
    Rgb(255, 255, 225),  // tooltip background
};

}  // namespace

uint32_t SystemColor(int index) {
  if (index < 0 || index >= static_cast<int>(kClassicScheme.size())) return 0;
  return kClassicScheme[static_cast<size_t>(index)];
}

}  // namespace platform

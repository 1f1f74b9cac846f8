// The colours of the desktop's user-interface elements (window, button face, highlight …).
#pragma once
#include <cstdint>

namespace platform {

// The current colour of the system colour with the given index (0 scroll bar … 24 tooltip
// background, the Windows numbering) as 0x00BBGGRR. An index without a colour gives black.
uint32_t SystemColor(int index);

}  // namespace platform

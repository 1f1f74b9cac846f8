#include "platform/syscolor.h"

#include <windows.h>

namespace platform {

// GetSysColor already answers 0x00BBGGRR, and 0 (black) for an unknown index.
uint32_t SystemColor(int index) { return static_cast<uint32_t>(GetSysColor(index)); }

}  // namespace platform

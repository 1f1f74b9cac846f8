#include "platform/memoryadvice.h"

namespace platform {

// Large pages on Windows need a privilege a shop's PC does not grant: no hint.
void AdviseLargeFill(void*, size_t) {}

}  // namespace platform

// Hints to the operating system about how the program will use a block of its memory.
#pragma once
#include <cstddef>

namespace platform {

// The block is about to be filled from start to end (a large download): the system may
// back it with large pages, so that filling it takes a few hundred page faults instead of
// one per 4 KB. Only a hint; nothing changes in the block's contents or its lifetime.
void AdviseLargeFill(void* block, size_t size);

}  // namespace platform

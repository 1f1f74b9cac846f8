#include "platform/memoryadvice.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

namespace platform {

void AdviseLargeFill(void* block, size_t size) {
  // madvise takes whole pages: the pages that lie entirely inside the block.
  static const uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
  const uintptr_t begin = (reinterpret_cast<uintptr_t>(block) + page - 1) & ~(page - 1);
  const uintptr_t end = (reinterpret_cast<uintptr_t>(block) + size) & ~(page - 1);
#ifdef MADV_HUGEPAGE
  if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#endif
}

}  // namespace platform

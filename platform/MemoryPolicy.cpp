#include "platform/MemoryPolicy.h"

#include <cstdlib>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace tessaro {

void ReturnLargeBlocksToSystem()
{
#if defined(__GLIBC__)
    constexpr int LargeBlockBytes = 1 << 20;
    if (std::getenv("MALLOC_MMAP_THRESHOLD_") == nullptr)
        mallopt(M_MMAP_THRESHOLD, LargeBlockBytes);
#endif
}

} // namespace tessaro

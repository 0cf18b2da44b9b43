// See kvMemory.h.
#include "app/kvMemory.h"

#include <malloc.h>

namespace Korvell {

void allocateLargeBlocksFromTheSystem()
{
    // A fixed threshold also stops glibc's dynamic adjustment. The show's
    // large buffers are recycled by their owners (the texture buffer pool,
    // the GL's spare storage), so no frame faults pages in for them.
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
}

} // namespace Korvell

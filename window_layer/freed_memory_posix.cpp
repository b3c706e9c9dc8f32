#include "window_layer/freed_memory.h"

#include <malloc.h>

namespace korvane {

void ReturnFreedMemory() {
    // Every arena, the preload thread's included, and the free pages inside
    // them, not only those at the top.
    (void)::malloc_trim(0);
}

} // namespace korvane

#include "window_layer/freed_memory.h"

namespace korvane {

// The process heap decommits freed pages by itself.
void ReturnFreedMemory() {}

} // namespace korvane

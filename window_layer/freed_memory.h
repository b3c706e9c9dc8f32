#pragma once

namespace korvane {

// Hands back to the system the memory that start-up used and freed (the
// catalogue as read, the font configuration's parse, plugin loading), which
// the allocator would otherwise keep for a process that may stay open all day.
void ReturnFreedMemory();

} // namespace korvane

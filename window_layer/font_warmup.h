#pragma once

namespace korvane {

// Reads the system's font configuration ahead of Qt, on a thread of its own
// while Qt connects to the display: the first text a window measures then
// finds it read. Does nothing where the fonts need no such reading.
void WarmUpFontConfiguration();

} // namespace korvane

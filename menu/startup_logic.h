#pragma once

#include "store/clock_time.h"
#include "store/item_wait.h"

#include <cstdint>
#include <string>

namespace korvane {

// Where the mouse is on the menu's frame: which way a drag resizes it.
enum class ResizeZone { None, Horizontal, Vertical, Diagonal };

// A 10 x 10 square in the bottom-right corner, a 15-pixel band along the
// right edge, a 15-pixel band along the bottom.
ResizeZone ResizeZoneAt(int x, int y, int width, int height);

// What the countdown strip shows after elapsedMs of a countdown of lengthMs.
struct CountdownView {
    std::string label; // remaining time, seconds truncated
    int position = 0;  // progress bar: full at the start, empty at the end
};
CountdownView CountdownAt(std::int64_t lengthMs, std::int64_t elapsedMs,
                          const TimeFormat& format = UserTimeFormat());

// What the wait strip says while item waits: "Waiting for the window of Mail".
std::string WaitingText(const std::string& item, const ItemWait& wait);

} // namespace korvane

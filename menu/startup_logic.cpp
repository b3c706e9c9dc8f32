#include "menu/startup_logic.h"

#include <algorithm>
#include <cstdlib>

namespace korvane {

ResizeZone ResizeZoneAt(int x, int y, int width, int height) {
    if (x > width - 10 && y > height - 10) {
        return ResizeZone::Diagonal;
    }
    if (x > width - 15) {
        return ResizeZone::Horizontal;
    }
    if (y > height - 15) {
        return ResizeZone::Vertical;
    }
    return ResizeZone::None;
}

CountdownView CountdownAt(std::int64_t lengthMs, std::int64_t elapsedMs, const TimeFormat& format) {
    CountdownView view;
    // Past the end (only on the tick that launches) the magnitude shows.
    const std::int64_t remaining = std::llabs(lengthMs - elapsedMs);
    view.label = FormatClockTime(MillisecondsToDayFraction(remaining - remaining % 1000), format);
    const std::int64_t position = lengthMs - elapsedMs % 86400000;
    view.position = static_cast<int>(std::clamp<std::int64_t>(position, 0, lengthMs));
    return view;
}

std::string WaitingText(const std::string& item, const ItemWait& wait) {
    switch (wait.kind) {
    case WaitKind::Window:
        return "Waiting for the window of " + item;
    case WaitKind::Ended:
        return "Waiting until " + item + " has ended";
    case WaitKind::Path:
        return "Waiting for " + wait.target;
    case WaitKind::Port:
        return "Waiting for port " + wait.target;
    case WaitKind::None:
        break;
    }
    return "Waiting";
}

} // namespace korvane

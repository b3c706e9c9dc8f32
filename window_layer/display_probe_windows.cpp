#include "window_layer/display_probe.h"

namespace korvane {

// A Windows session always has its desktop.
DisplayKind ProbeDisplay() {
    return DisplayKind::Visible;
}

bool PreferXForPlacedWindows() {
    return false;
}

void ForgetPlatformChoice() {}

} // namespace korvane

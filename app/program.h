#pragma once

#include "app/window_layer.h"

#include <span>
#include <string>

namespace korvane {

inline constexpr const char* kApplicationTitle = "Korvane";

// Program entry: picks the mode by the first argument. A direct launch runs
// here, with no window; the window modes are the window layer's.
int RunProgram(std::span<const std::string> arguments, const WindowLayer& windows);

} // namespace korvane

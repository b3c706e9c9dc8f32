#pragma once

#include "store/catalogue.h"

#include <functional>
#include <span>
#include <string>

namespace korvane {

inline constexpr const char* kApplicationTitle = "Korvane";

// What the window modes plug in; each runs its window until it closes and
// returns the exit code.
struct WindowModes {
    std::function<int(ProgramFiles&)> editor;
    std::function<int(ProgramFiles&)> startupMenu;
    // Shows a fatal error's text to a user who may not be at a terminal; the
    // text has already gone to stderr.
    std::function<void(const std::string&)> showFatalError;
};

// Program entry: picks the mode by the first argument and runs it.
int RunProgram(std::span<const std::string> arguments, const WindowModes& modes);

} // namespace korvane

#pragma once

#include <functional>
#include <string>

namespace korvane {

// The window layer as program entry sees it. Loaded only when a window is
// needed, so that a direct launch maps no window-system library at all.
struct WindowLayer {
    // Runs the window mode the command line names (editor or startup menu)
    // and returns the exit code.
    std::function<int()> run;
    // Shows a fatal error's text to a user who may not be at a terminal; the
    // text has already gone to stderr.
    std::function<void(const std::string&)> showFatalError;
};

// This build's window layer for the process's command line; a build without
// windows has none.
WindowLayer GetWindowLayer(int& argc, char** argv);

} // namespace korvane

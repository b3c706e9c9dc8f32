#pragma once

// The seam to the window layer (window_layer/ implements it): one entry point.
// Program entry calls it with the process's command line: for the editor or
// the startup menu it runs that window until it closes; with fatalError it
// shows that text in the "Application Error" box (when a display answers)
// instead. Returns the exit code.
extern "C" {
int korvane_window_layer(int argc, char** argv, const char* fatalError);
}

namespace korvane {

using KorvaneWindowLayerEntry = int (*)(int, char**, const char*);
inline constexpr const char* kWindowLayerEntryName = "korvane_window_layer";

} // namespace korvane

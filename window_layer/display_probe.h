#pragma once

namespace korvane {

enum class DisplayKind {
    None,      // no window system answers: Qt would abort on start
    Invisible, // a platform that shows nothing to anybody (offscreen, minimal)
    Visible,   // a display that answered
};

// Whether the window system the window layer would use really answers.
// Asked before Qt starts, since Qt ends the process when it cannot connect.
DisplayKind ProbeDisplay();

// The startup menu restores its position and stays on top, which a Wayland
// client cannot: in a Wayland session that also offers X (XWayland), and
// unless the user chose a platform, it runs through X. Whether it chose so.
bool PreferXForPlacedWindows();

// Takes that choice back once Qt has started: the programs started from
// here get the session's environment as it was.
void ForgetPlatformChoice();

// The line printed when a window mode is asked for without a display.
inline constexpr const char* kNoDisplayMessage =
    "korvane: the editor and the startup menu need a graphical session, and no display "
    "could be opened; korvane \"<batch>\" launches a batch without one.";

} // namespace korvane

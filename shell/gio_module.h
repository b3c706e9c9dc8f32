#pragma once

// The seam to the GIO module (libkorvane-gio.so), which the freedesktop shell
// backend loads only when an item needs it: a direct launch of plain programs
// never maps GIO. Plain C, so that both sides agree whatever they were built with.
extern "C" {

// What became of a launch: the started process (0 when GIO does not say, as
// for a program that D-Bus activates) or why nothing started.
struct KorvaneGioOutcome {
    long long pid;
    char error[512]; // "" when started
};

struct KorvaneGio {
    // Launches a desktop entry with files or addresses, in dir ("" for the
    // entry's own Path= or none). Each launch returns 1 when it started.
    int (*launchEntry)(const char* desktopFile, const char* const* args, int argc, const char* dir,
                       KorvaneGioOutcome* outcome);
    // Opens a file with the default application for its type, in dir.
    int (*openWithDefault)(const char* file, const char* dir, KorvaneGioOutcome* outcome);
    // Opens an address with its default handler.
    int (*openUri)(const char* uri, KorvaneGioOutcome* outcome);
    // Marks a desktop file trusted, for desktops that ask before running one.
    int (*markTrusted)(const char* file);
    // Shows a desktop notification through the session's notification
    // service, when there is one (0 otherwise). A click on it opens
    // openOnClick ("" for none) with its default application; waits for the
    // click or the notification's end, at most waitSeconds.
    // appId names the program's desktop entry and icon.
    int (*notify)(const char* appId, const char* summary, const char* body, const char* openOnClick,
                  int waitSeconds);
};

// The module's one entry point; its number changes with the table above, so
// that a module of another build is never called with the wrong arguments.
const KorvaneGio* korvane_gio_v2(void);
}

namespace korvane::shell {

// The module's services; nullptr when it cannot be loaded (then what needs
// it simply has no effect, as for any failed shell operation).
const KorvaneGio* GioServices();

} // namespace korvane::shell

#pragma once

// The seam to the GIO module (libkorvane-gio.so), which the freedesktop shell
// backend loads only when an item needs it: a direct launch of plain programs
// never maps GIO. Plain C, so that both sides agree whatever they were built with.
extern "C" {

struct KorvaneGio {
    // Launches a desktop entry with files or addresses, in dir ("" for the
    // entry's own Path= or none).
    int (*launchEntry)(const char* desktopFile, const char* const* args, int argc, const char* dir);
    // Opens a file with the default application for its type, in dir.
    int (*openWithDefault)(const char* file, const char* dir);
    // Opens an address with its default handler.
    int (*openUri)(const char* uri);
    // Marks a desktop file trusted, for desktops that ask before running one.
    int (*markTrusted)(const char* file);
};

// The module's one entry point.
const KorvaneGio* korvane_gio_v1(void);
}

namespace korvane::shell {

// The module's services; nullptr when it cannot be loaded (then what needs
// it simply has no effect, as for any failed shell operation).
const KorvaneGio* GioServices();

} // namespace korvane::shell

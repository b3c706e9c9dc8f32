// A build without windows: only direct launch is there.
#include "app/window_modes.h"

#include <cstdio>

namespace korvane {

namespace {

int NoWindows() {
    std::fprintf(stderr, "This copy of Korvane was built without its windows: give the name of "
                         "a batch to launch it.\n");
    return 1;
}

} // namespace

int RunStartupMenu(ProgramFiles&, int&, char**) {
    return NoWindows();
}

int RunEditor(ProgramFiles&, int&, char**) {
    return NoWindows();
}

} // namespace korvane

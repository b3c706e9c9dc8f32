#include "app/fatal_error_box.h"
#include "app/program.h"
#include "app/window_modes.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    korvane::WindowModes modes;
    modes.showFatalError = korvane::ShowFatalErrorBox;
    modes.startupMenu = [&](korvane::ProgramFiles& files) {
        return korvane::RunStartupMenu(files, argc, argv);
    };
    modes.editor = [](korvane::ProgramFiles&) {
        std::fprintf(stderr, "korvane: the batch editor is not part of this build yet.\n"
                             "Run korvane -startup for the startup menu, or\n"
                             "korvane \"<batch name>\" to launch a batch.\n");
        return 0;
    };
    return korvane::RunProgram(arguments, modes);
}

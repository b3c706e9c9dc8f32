#include "app/fatal_error_box.h"
#include "app/program.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    korvane::WindowModes modes;
    modes.showFatalError = korvane::ShowFatalErrorBox;
    modes.editor = [](korvane::ProgramFiles&) {
        std::fprintf(stderr, "korvane: the batch editor is not part of this build yet.\n"
                             "Run korvane \"<batch name>\" to launch a batch.\n");
        return 0;
    };
    modes.startupMenu = [](korvane::ProgramFiles&) {
        std::fprintf(stderr, "korvane: the startup menu is not part of this build yet.\n");
        return 0;
    };
    return korvane::RunProgram(arguments, modes);
}

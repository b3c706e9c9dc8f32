#include "app/fatal_error_box.h"
#include "app/program.h"
#include "app/window_modes.h"
#include "shell/shell.h"

#include <string>
#include <vector>

int main(int argc, char** argv) {
    const std::vector<std::string> arguments = korvane::shell::ProgramArguments(argc, argv);
    korvane::WindowModes modes;
    modes.showFatalError = korvane::ShowFatalErrorBox;
    modes.startupMenu = [&](korvane::ProgramFiles& files) {
        return korvane::RunStartupMenu(files, argc, argv);
    };
    modes.editor = [&](korvane::ProgramFiles& files) {
        return korvane::RunEditor(files, argc, argv);
    };
    return korvane::RunProgram(arguments, modes);
}

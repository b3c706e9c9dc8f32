#include "app/window_layer_entry.h"

#include "app/command_line.h"
#include "app/error_text.h"
#include "app/program.h"
#include "shell/shell.h"
#include "store/catalogue.h"
#include "store/utf8.h"
#include "window_layer/error_box.h"
#include "window_layer/window_modes.h"

#include <cstdio>
#include <exception>

extern "C" __attribute__((visibility("default"))) int korvane_window_layer(int argc, char** argv,
                                                                           const char* fatalError) {
    using namespace korvane;
    if (fatalError) {
        ShowErrorBoxWindow(fatalError);
        return 1;
    }
    const std::filesystem::path exe = shell::ExecutablePath();
    try {
        ProgramFiles files(exe);
        if (const auto problem = StateFolderProblem(files)) {
            // Nothing of it is read: whoever else can write it chooses what would run.
            std::fprintf(stderr, "%s: %s\n", utf8::FromPath(exe.filename()).c_str(),
                         problem->c_str());
            std::fflush(stderr);
            ShowErrorBoxWindow(*problem, kApplicationTitle);
            return 1;
        }
        const ModeChoice choice = ChooseRunMode(shell::ProgramArguments(argc, argv));
        return choice.mode == RunMode::StartupMenu ? RunStartupMenu(files, argc, argv)
                                                   : RunEditor(files, argc, argv);
    } catch (const std::exception& error) {
        const std::string text = FatalErrorText(error, utf8::FromPath(exe.filename()));
        std::fprintf(stderr, "%s\n", text.c_str());
        std::fflush(stderr);
        try {
            ShowErrorBoxWindow(text);
        } catch (...) {
        }
        return 1;
    }
}

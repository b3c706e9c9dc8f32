#include "app/program.h"

#include "app/command_line.h"
#include "app/error_text.h"
#include "app/runner.h"
#include "shell/shell.h"
#include "store/utf8.h"

#include <cstdio>
#include <exception>

namespace korvane {

namespace {

int ReportFatal(const std::exception& error, const std::string& module, const WindowModes& modes) {
    const std::string text = FatalErrorText(error, module);
    std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(stderr);
    if (modes.showFatalError) {
        try {
            modes.showFatalError(text);
        } catch (...) {
        }
    }
    return 1;
}

} // namespace

int RunProgram(std::span<const std::string> arguments, const WindowModes& modes) {
    const ModeChoice choice = ChooseRunMode(arguments);
    const std::filesystem::path exe = shell::ExecutablePath();
    const std::string module = utf8::FromPath(exe.filename());
    try {
        ProgramFiles files(exe);
        switch (choice.mode) {
        case RunMode::DirectLaunch:
            // No window and no event loop: this must work from a terminal or a service.
            LaunchBatch(files, choice.batchName);
            return 0;
        case RunMode::StartupMenu:
            return modes.startupMenu ? modes.startupMenu(files) : 0;
        case RunMode::Editor:
            return modes.editor ? modes.editor(files) : 0;
        }
    } catch (const std::exception& error) {
        return ReportFatal(error, module, modes);
    }
    return 0;
}

} // namespace korvane

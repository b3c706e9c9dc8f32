#include "app/program.h"

#include "app/command_line.h"
#include "app/error_text.h"
#include "app/runner.h"
#include "shell/shell.h"
#include "store/catalogue.h"
#include "store/utf8.h"

#include <cstdio>
#include <exception>

namespace korvane {

namespace {

int ReportFatal(const std::exception& error, const std::string& module,
                const WindowLayer& windows) {
    const std::string text = FatalErrorText(error, module);
    std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(stderr);
    if (windows.showFatalError) {
        try {
            windows.showFatalError(text);
        } catch (...) {
        }
    }
    return 1;
}

} // namespace

int RunProgram(std::span<const std::string> arguments, const WindowLayer& windows) {
    const ModeChoice choice = ChooseRunMode(arguments);
    if (choice.mode != RunMode::DirectLaunch) {
        // The windows read the command line themselves.
        return windows.run ? windows.run() : 0;
    }
    const std::filesystem::path exe = shell::ExecutablePath();
    const std::string module = utf8::FromPath(exe.filename());
    try {
        // No window and no event loop: this must work from a terminal or a service.
        ProgramFiles files(exe);
        LaunchBatch(files, choice.batchName);
        return 0;
    } catch (const std::exception& error) {
        return ReportFatal(error, module, windows);
    }
}

} // namespace korvane

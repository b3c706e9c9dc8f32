#include "app/program.h"

#include "app/command_line.h"
#include "app/error_text.h"
#include "app/problem_notice.h"
#include "app/reported_run.h"
#include "app/this_process.h"
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
    if (choice.mode == RunMode::Help) {
        std::fputs(UsageText("korvane").c_str(), stdout);
        return 0;
    }
    if (choice.mode == RunMode::Version) {
        std::printf("korvane %s\n", shell::VersionText(15).c_str());
        return 0;
    }
    if (choice.mode == RunMode::Usage) {
        std::fprintf(stderr, "korvane: %s\n%s", choice.usageError.c_str(),
                     UsageText("korvane").c_str());
        return kExitUsage;
    }
    if (choice.mode == RunMode::Notice) {
        // Not a run: another one's notice, shown apart so that the run could end.
        return ShowProblemNotice(choice.notice[0], choice.notice[1], choice.notice[2]) ? 0 : 1;
    }
    if (choice.mode != RunMode::DirectLaunch) {
        // The windows read the command line themselves.
        return windows.run ? windows.run() : 0;
    }
    const std::filesystem::path exe = shell::ExecutablePath();
    const std::string module = utf8::FromPath(exe.filename());
    try {
        // No window and no event loop: this must work from a terminal or a service.
        ProgramFiles files(exe);
        if (const auto problem = StateFolderProblem(files)) {
            std::fprintf(stderr, "%s: %s\n", module.c_str(), problem->c_str());
            return kExitError;
        }
        // A catalogue that cannot be read is not one without batches.
        CheckReadable(files.catalogue);
        if (!BatchExists(files.catalogue, choice.batchName)) {
            std::fprintf(stderr, "%s: no batch named \"%s\" in %s\n", module.c_str(),
                         choice.batchName.c_str(),
                         utf8::FromPath(files.catalogue.FileName()).c_str());
            return kExitNoBatch;
        }
        const bool terminal = StderrIsTerminal();
        ReportedRunOptions options;
        options.origin = kFromCommand;
        options.echo = choice.verbose || terminal ? stderr : nullptr;
        CancelRunWhenAskedToEnd();
        const RunSummary summary = LaunchReported(files, choice.batchName, options);
        if (!terminal) {
            // Nobody at a terminal: a desktop shortcut, a script.
            NoticeProblems(files, choice.batchName, summary);
        }
        return summary.cancelled      ? kExitCancelled
               : summary.AllStarted() ? kExitLaunched
                                      : kExitNotAllStarted;
    } catch (const std::exception& error) {
        return ReportFatal(error, module, windows);
    }
}

} // namespace korvane

#include "app/command_line.h"

namespace korvane {

ModeChoice ChooseRunMode(std::span<const std::string> arguments) {
    ModeChoice choice;
    bool options = true;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& arg = arguments[i];
        if (options && arg == "--notify" && arguments.size() - i > 3) {
            choice.mode = RunMode::Notice;
            choice.notice.assign(arguments.begin() + static_cast<std::ptrdiff_t>(i + 1),
                                 arguments.begin() + static_cast<std::ptrdiff_t>(i + 4));
            return choice;
        }
        if (arg.empty()) {
            continue; // "" on a command line is no argument
        }
        if (options) {
            if (arg == "--") {
                options = false;
                continue;
            }
            if (arg == "--verbose") {
                choice.verbose = true;
                continue;
            }
            if (arg == "-startup") {
                choice.mode = RunMode::StartupMenu;
                return choice;
            }
            if (arg == "-h" || arg == "--help") {
                choice.mode = RunMode::Help;
                return choice;
            }
            if (arg == "--version") {
                choice.mode = RunMode::Version;
                return choice;
            }
        }
        choice.mode = RunMode::DirectLaunch;
        choice.batchName = arg;
        for (std::size_t j = i + 1; j < arguments.size(); ++j) {
            if (!arguments[j].empty()) {
                // Taken for nothing, it would go unnoticed that it was not launched.
                choice.mode = RunMode::Usage;
                choice.usageError = "one batch at a time: \"" + arguments[j] +
                                    "\" would be a second one after \"" + arg + "\"";
                return choice;
            }
        }
        return choice;
    }
    return choice;
}

std::string UsageText(const std::string& program) {
    return "Usage: " + program +
           " [-startup | [--verbose] [--] BATCH | --help | --version]\n"
           "Starts named groups of programs (batches) in a fixed order.\n"
           "\n"
           "  (no argument)  open the batch editor\n"
           "  -startup       show the startup menu, as at logon\n"
           "  BATCH          launch the batch of that name without a window\n"
           "  --verbose      say what became of each item on stderr (it is said\n"
           "                 anyway when stderr is a terminal)\n"
           "  --             what follows is a batch name, even \"-startup\"\n"
           "  -h, --help     print this help\n"
           "  --version      print the version\n"
           "\n"
           "Exit codes of a launch: 0 every item started, 1 an error (said on\n"
           "stderr), 2 no batch of that name or a wrong command line, 3 an item\n"
           "was not found or could not be started, or the batch was renamed or\n"
           "deleted while it ran, 4 the launch was asked to end (a signal,\n"
           "Ctrl+C) while it paused or waited; what had started keeps running.\n"
           "Each run is reported in the Reports folder of the state folder.\n";
}

} // namespace korvane

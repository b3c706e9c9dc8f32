#include "app/command_line.h"

namespace korvane {

ModeChoice ChooseRunMode(std::span<const std::string> arguments) {
    for (const std::string& arg : arguments) {
        if (arg.empty()) {
            continue; // "" on a command line is no argument
        }
        if (arg == "-startup") {
            return {RunMode::StartupMenu, {}};
        }
        if (arg == "-h" || arg == "--help") {
            return {RunMode::Help, {}};
        }
        if (arg == "--version") {
            return {RunMode::Version, {}};
        }
        return {RunMode::DirectLaunch, arg};
    }
    return {RunMode::Editor, {}};
}

std::string UsageText(const std::string& program) {
    return "Usage: " + program +
           " [-startup | BATCH | --help | --version]\n"
           "Starts named groups of programs (batches) in a fixed order.\n"
           "\n"
           "  (no argument)  open the batch editor\n"
           "  -startup       show the startup menu, as at logon\n"
           "  BATCH          launch the batch of that name without a window\n"
           "  -h, --help     print this help\n"
           "  --version      print the version\n"
           "\n"
           "Exit codes of a launch: 0 launched, 1 an error (said on stderr),\n"
           "2 no batch of that name.\n";
}

} // namespace korvane

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
        return {RunMode::DirectLaunch, arg};
    }
    return {RunMode::Editor, {}};
}

} // namespace korvane

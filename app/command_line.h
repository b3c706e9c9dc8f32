#pragma once

#include <span>
#include <string>

namespace korvane {

enum class RunMode { Editor, StartupMenu, DirectLaunch };

struct ModeChoice {
    RunMode mode = RunMode::Editor;
    std::string batchName; // DirectLaunch only
};

// Chooses the mode by the first argument (the program's own path excluded).
// Empty arguments before it count as none; later arguments are ignored.
ModeChoice ChooseRunMode(std::span<const std::string> arguments);

} // namespace korvane

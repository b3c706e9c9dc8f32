#pragma once

#include <span>
#include <string>
#include <vector>

namespace korvane {

enum class RunMode { Editor, StartupMenu, DirectLaunch, Help, Version, Notice, Usage };

struct ModeChoice {
    RunMode mode = RunMode::Editor;
    std::string batchName; // DirectLaunch only
    bool verbose = false;  // "--verbose": a line per item on stderr, terminal or not
    // Notice only: summary, body and report file of a notification that a
    // run (of another process) asks to show: "--notify" and those three.
    std::vector<std::string> notice;
    std::string usageError; // Usage only: what is wrong with the command line
};

// Chooses the mode by the first argument (the program's own path excluded).
// Empty arguments count as none; arguments after "-startup" are ignored, a
// second batch name is a usage error (one run launches one batch).
// "-h" and "--help" ask for the usage, "--version" for the version.
// "--verbose" may come before the others; after "--" the next argument
// names a batch, whatever it looks like.
ModeChoice ChooseRunMode(std::span<const std::string> arguments);
// What "--help" prints.
std::string UsageText(const std::string& program);
// Exit codes of a direct launch.
inline constexpr int kExitLaunched = 0;
inline constexpr int kExitError = 1;         // a fatal error, said on stderr (and in a box)
inline constexpr int kExitNoBatch = 2;       // the catalogue holds no batch of that name
inline constexpr int kExitUsage = 2;         // the command line is wrong
inline constexpr int kExitNotAllStarted = 3; // an item was not found or did not start, or
                                             // the batch went during the run
inline constexpr int kExitCancelled = 4;     // asked to end during a pause or a wait

} // namespace korvane

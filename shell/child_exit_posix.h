#pragma once

// The exit statuses of the programs this process started and reaped, kept
// for a while for the waits that report them.

#include <chrono>
#include <optional>
#include <sys/types.h>

namespace korvane::shell {

void NoteChildExit(pid_t pid, int waitStatus);
// The wait status of a reaped child, waiting up to patience for its reaper.
std::optional<int> ChildExitStatus(pid_t pid, std::chrono::milliseconds patience);

} // namespace korvane::shell

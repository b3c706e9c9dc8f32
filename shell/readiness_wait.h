#pragma once

// What the platforms' waits share.

#include "shell/readiness.h"

#include <chrono>
#include <string>

namespace korvane::shell {

using WaitClock = std::chrono::steady_clock;

// Completes a wait's result: how long it took, and for a wait this session
// cannot tell, the rest of its limit waited out.
Readiness Finish(Readiness result, WaitClock::time_point start, WaitClock::time_point deadline);

// Each platform's waits, until deadline.
// Until a window of the process, or of one of its children, is on screen;
// once the process has ended without one (it handed over to a running copy
// of itself), a window of the same program counts too.
// A window of windowClass (its WM_CLASS, without regard to case) counts too,
// where the system can tell: for programs D-Bus starts, and sandboxed ones.
Readiness WaitForWindow(long long processId, const std::string& windowClass,
                        WaitClock::time_point deadline);
// Until the process has ended; its exit status is told where it can be.
Readiness WaitForEnd(long long processId, WaitClock::time_point deadline);
Readiness WaitForPath(const std::string& path, WaitClock::time_point deadline);
Readiness WaitForPort(const std::string& port, WaitClock::time_point deadline);

} // namespace korvane::shell

#pragma once

// Waiting until a started program is ready for the next one: its window
// is up, it has ended, a path exists, a port takes connections.

#include "store/item_wait.h"

#include <chrono>
#include <string>

namespace korvane::shell {

enum class ReadyState {
    Ready,
    TimedOut,   // the limit passed first
    Cancelled,  // CancelWaits came first
    CannotTell, // this session cannot see it come about: the limit was waited out
};

struct Readiness {
    ReadyState state = ReadyState::Ready;
    std::string how; // in words: "it appeared", "it ended with exit status 0"
    std::chrono::milliseconds waited{0};
};

// Waits until wait's condition holds for the program started as processId
// (0 when the system did not say which), at most wait.limitSeconds. A
// window of windowClass counts as the program's too ("" for none).
Readiness WaitUntilReady(const ItemWait& wait, long long processId,
                         const std::string& windowClass = "");

// Sleeps for length unless CancelWaits comes first; false when it did.
bool SleepUnlessCancelled(std::chrono::milliseconds length);

// Ends every wait and sleep of this process at once, and those to come.
// Safe in a signal handler once PrepareCancel has run.
void CancelWaits();
bool WaitsCancelled();
void PrepareCancel();
// Lets waits wait again after CancelWaits: a new run of a process that stays.
void ResumeWaits();

// Whether this session can see other programs' windows appear (not so on a
// Wayland desktop without X11); the reason when it cannot.
std::string WindowWaitLimitation();

} // namespace korvane::shell

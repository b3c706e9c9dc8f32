#pragma once

// Faults a folder watch must come through, made on demand, so that its tests
// need no root, no full kernel queue and no luck. Nothing in the program
// makes any.
#include "shell/folder_watch.h"

#include <atomic>
#include <chrono>

namespace korvane::detail {

struct FolderWatchFaults {
    enum class Loss {
        None,
        Losing,     // whatever the system tells from now on is lost, as when its queue is full
        Overflowed, // what it still holds is lost too, and the watch learns of the overflow
    };
    enum class Break {
        None,
        Poll, // every wait on the watch's inotify instance fails, until it is replaced
        Read, // every read from it fails, until it is replaced
    };

    std::atomic<Loss> loss{Loss::None};
    std::atomic<Break> broken{Break::None};
    // How many of the next attempts to make an inotify instance fail.
    std::atomic<int> failingStarts{0};
    // Counted by the watch: the attempts to make an inotify instance.
    std::atomic<int> starts{0};
    // The pause before trying again; set before Apply.
    std::chrono::milliseconds retryEvery{1000};

    // Hands the faults (which must outlive the watch) to the watch and wakes
    // its worker to take in what changed; call again after each change of
    // loss or broken. False where the platform's watch cannot make them.
    static bool Apply(FolderWatch& watch, FolderWatchFaults& faults);
};

} // namespace korvane::detail

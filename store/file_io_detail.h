#pragma once

// What the file layer's per-platform halves share.

#include <filesystem>
#include <vector>

namespace korvane::detail {

struct GuardedPath {
    std::filesystem::path root;               // the guarded folder; empty when below none
    std::vector<std::filesystem::path> steps; // the path's components below root, in order

    // Below the guarded folder at all: no link is followed on the way.
    bool Guarded() const { return !root.empty() && !steps.empty(); }
    // Directly in it: a file there (a profile file) may be a link to one.
    bool TopLevel() const { return !root.empty() && steps.size() == 1; }
};

// Which paths are walked without following symbolic links: those below a
// guarded folder (the state folder).
GuardedPath LocateGuarded(const std::filesystem::path& path);

// Tells the FolderLock wait notice that a lock is being waited for, or no longer.
void NoteLockWait(bool waiting);

// How long a lock is waited for before the notice says so.
inline constexpr int kLockNoticeMs = 1000;

} // namespace korvane::detail

#pragma once

// What runs and edits killed half-way leave behind in the state folder:
// batch and item folders that no entry of the catalogue names and that hold
// only what Korvane itself makes there (one link file, or nothing), and
// launch reports that never got a line. Nothing else is ever taken.

#include "store/catalogue.h"

#include <filesystem>
#include <vector>

namespace korvane {

// The leftovers as the files are now, in the order they would go (what a
// folder holds before the folder).
std::vector<std::filesystem::path> FindLeftovers(const ProgramFiles& files);

// Removes the leftovers under the state folder's lock; does nothing while
// another process holds it. What cannot be removed stays, silently: the next
// sweep tries again. Returns how many were removed.
std::size_t SweepLeftovers(const ProgramFiles& files);

} // namespace korvane

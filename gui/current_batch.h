#pragma once

#include <string>

namespace korvane {

// The batch the windows act on: the one last loaded into the editor's item
// list or last selected in the startup menu; "" for none. One per process.
std::string& CurrentBatchName();

} // namespace korvane

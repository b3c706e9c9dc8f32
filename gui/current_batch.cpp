#include "gui/current_batch.h"

namespace korvane {

std::string& CurrentBatchName() {
    static std::string name;
    return name;
}

} // namespace korvane

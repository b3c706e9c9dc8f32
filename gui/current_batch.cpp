#include "gui/current_batch.h"

namespace korvane {

std::string& CurrentBatchName() {
    static std::string name;
    return name;
}

std::string& CurrentBatchId() {
    static std::string id;
    return id;
}

} // namespace korvane

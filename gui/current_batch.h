#pragma once

#include "store/batch_edit.h"

#include <string>

namespace korvane {

// The batch the windows act on: the one last loaded into the editor's item
// list or last selected in the startup menu; "" for none. One per process.
std::string& CurrentBatchName();
// The ID it had when it was loaded: edits check that it is still that batch.
std::string& CurrentBatchId();
// Both, as edits name a batch.
inline BatchRef CurrentBatch() {
    return {CurrentBatchName(), CurrentBatchId()};
}
inline void SetCurrentBatch(const BatchRef& batch) {
    CurrentBatchName() = batch.name;
    CurrentBatchId() = batch.id;
}

} // namespace korvane

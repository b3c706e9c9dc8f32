#pragma once

// Write access to batches.lst, for the edits in store/ alone: everything
// else reads it through ProgramFiles::catalogue, which is const, and changes
// batches through store/batch_edit.h. A test fails when a file outside
// store/ includes this.

#include "store/catalogue.h"

namespace korvane {

TIniFile& CatalogueForEdit(ProgramFiles& files);

} // namespace korvane

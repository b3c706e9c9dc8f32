#pragma once

// batches.lst written as another program, or a person with a text editor,
// would: the program itself changes it only through its checked edits.

#include "store/catalogue.h"

namespace korvane::test {

inline TIniFile ByHand(const ProgramFiles& files) {
    return TIniFile(files.catalogue.FileName());
}

} // namespace korvane::test

// Compiled by scripts/check-catalogue-writes.sh as a window's code would be:
// reading batches.lst compiles, writing it past the edits of store/ must not.
#include "store/catalogue.h"

void Window(korvane::ProgramFiles& files) {
#ifdef WRITES
    files.catalogue.WriteText("A", "ID", "1");
#else
    (void)files.catalogue.ReadText("A", "ID", "");
#endif
}

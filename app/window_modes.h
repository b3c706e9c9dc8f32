#pragma once

#include "store/catalogue.h"

namespace korvane {

// The startup menu mode: runs TForm2 until it closes.
int RunStartupMenu(ProgramFiles& files, int& argc, char** argv);

} // namespace korvane

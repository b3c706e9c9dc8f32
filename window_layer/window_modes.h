#pragma once

#include "store/catalogue.h"

namespace korvane {

// The startup menu mode: runs TForm2 until it closes.
int RunStartupMenu(ProgramFiles& files, int& argc, char** argv);

// The editor mode: runs TForm1 until it closes.
int RunEditor(ProgramFiles& files, int& argc, char** argv);

} // namespace korvane

// Builds without windows are run from a console, where the text has already
// gone to stderr.
#include "app/fatal_error_box.h"

namespace korvane {

void ShowFatalErrorBox(const std::string&) {}

} // namespace korvane

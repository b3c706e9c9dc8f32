#pragma once

#include <string>

namespace korvane {

// Shows text in an "Application Error" box when a display can be reached;
// does nothing otherwise.
void ShowFatalErrorBox(const std::string& text);

} // namespace korvane

#pragma once

#include <string>

namespace korvane {

// Shows text in Qt's "Application Error" box when a display can be reached;
// does nothing otherwise.
void ShowErrorBoxWindow(const std::string& text);

} // namespace korvane

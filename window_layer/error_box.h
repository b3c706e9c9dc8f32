#pragma once

#include <string>

namespace korvane {

// Shows text in Qt's error box, captioned "Application Error" unless said
// otherwise, when a display can be reached; does nothing otherwise.
void ShowErrorBoxWindow(const std::string& text, const std::string& caption = "Application Error");

} // namespace korvane

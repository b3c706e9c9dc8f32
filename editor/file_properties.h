#pragma once

#include <filesystem>

namespace korvane {

// Shows the system's own property page of a file that is not one of our
// link files (the file manager's, or the shell's on Windows).
void ShowFileProperties(const std::filesystem::path& file);

} // namespace korvane

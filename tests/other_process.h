#pragma once

#include <filesystem>

namespace korvane::test {

// Makes an empty file from a separate process (the platform's shell).
bool CreateFileInAnotherProcess(const std::filesystem::path& file);

} // namespace korvane::test

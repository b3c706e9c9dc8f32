#pragma once

#include <filesystem>

namespace korvane::test {

// Makes an empty file from a separate process (the platform's shell).
bool CreateFileInAnotherProcess(const std::filesystem::path& file);

// Makes a named pipe at file; false where the system has none in its file
// system (Windows).
bool MakeNamedPipe(const std::filesystem::path& file);

// Whether the tests run under Wine rather than the system they were built for.
bool RunningUnderWine();

} // namespace korvane::test

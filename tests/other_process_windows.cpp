#include "other_process.h"

#include <cstdlib>

namespace korvane::test {

bool CreateFileInAnotherProcess(const std::filesystem::path& file) {
    const std::wstring command = L"cmd /c type nul > \"" + file.wstring() + L"\"";
    return _wsystem(command.c_str()) == 0;
}

} // namespace korvane::test

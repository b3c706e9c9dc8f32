#include "other_process.h"

#include <cstdlib>
#include <windows.h>

namespace korvane::test {

bool CreateFileInAnotherProcess(const std::filesystem::path& file) {
    const std::wstring command = L"cmd /c type nul > \"" + file.wstring() + L"\"";
    return _wsystem(command.c_str()) == 0;
}

bool MakeNamedPipe(const std::filesystem::path&) {
    return false; // named pipes live apart from the files (\\.\pipe\)
}

bool RunningUnderWine() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

} // namespace korvane::test

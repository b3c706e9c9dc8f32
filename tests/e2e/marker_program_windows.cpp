// A stand-in for a launched program: appends its own name, its working
// folder and the time in milliseconds to the file KORVANE_MARKER names.
#include <windows.h>

#include <cstdio>
#include <string>

int main() {
    wchar_t marker[4096];
    if (GetEnvironmentVariableW(L"KORVANE_MARKER", marker, 4096) == 0) {
        return 2;
    }
    wchar_t self[4096];
    const DWORD n = GetModuleFileNameW(nullptr, self, 4096);
    std::wstring name(self, n);
    name = name.substr(name.find_last_of(L"\\/") + 1);
    wchar_t cwd[4096];
    GetCurrentDirectoryW(4096, cwd);
    std::wstring args = GetCommandLineW();
    const std::wstring line =
        name + L"|" + cwd + L"|" + std::to_wstring(GetTickCount64()) + L"\r\n";
    // Several copies may end at once: append under a short retry.
    for (int attempt = 0; attempt < 200; ++attempt) {
        HANDLE h = CreateFileW(marker, FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            char utf8[16384];
            const int len =
                WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), utf8,
                                    sizeof utf8, nullptr, nullptr);
            DWORD written = 0;
            WriteFile(h, utf8, static_cast<DWORD>(len), &written, nullptr);
            CloseHandle(h);
            return 0;
        }
        Sleep(10);
    }
    return 1;
}

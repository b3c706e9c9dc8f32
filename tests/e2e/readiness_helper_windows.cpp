// The items of the readiness tests on Windows. What each does is in its
// file name, so that plain links start it; each notes what it did, its
// process id and the time in milliseconds in the file KORVANE_MARKER names.
//   window-MS       shows a window after MS, notes "mapped"
//   exit-MS-CODE    notes "ending" after MS and ends with CODE
//   touch-MS        makes the file KORVANE_READY_PATH names after MS, notes "made"
//   listen-MS       listens on 127.0.0.1, port KORVANE_PORT, after MS, notes "listening"
//   idle            notes "idle" and does nothing for 30 s
//   stamp-TAG       notes TAG and ends
#include <winsock2.h>
#include <ws2tcpip.h>
// After the above: it would bring the older sockets otherwise.
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::wstring Env(const wchar_t* name) {
    wchar_t value[4096];
    const DWORD n = GetEnvironmentVariableW(name, value, 4096);
    return n > 0 && n < 4096 ? std::wstring(value, n) : std::wstring();
}

void Note(const std::string& tag) {
    const std::wstring marker = Env(L"KORVANE_MARKER");
    const std::string line = tag + " " + std::to_string(GetCurrentProcessId()) + " " +
                             std::to_string(GetTickCount64()) + "\r\n";
    for (int attempt = 0; attempt < 200; ++attempt) {
        HANDLE h = CreateFileW(marker.c_str(), FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            WriteFile(h, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
            CloseHandle(h);
            return;
        }
        Sleep(10);
    }
}

std::vector<std::string> NameParts() {
    wchar_t self[4096];
    const DWORD n = GetModuleFileNameW(nullptr, self, 4096);
    std::wstring name(self, n);
    name = name.substr(name.find_last_of(L"\\/") + 1);
    name = name.substr(0, name.rfind(L'.'));
    std::vector<std::string> parts(1);
    for (const wchar_t c : name) {
        if (c == L'-') {
            parts.emplace_back();
        } else {
            parts.back() += static_cast<char>(c);
        }
    }
    return parts;
}

int Window() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"KorvaneLateWindow";
    RegisterClassW(&wc);
    HWND w = CreateWindowExW(0, wc.lpszClassName, L"late window", WS_OVERLAPPEDWINDOW, 10, 10, 200,
                             100, nullptr, nullptr, wc.hInstance, nullptr);
    ShowWindow(w, SW_SHOWNORMAL);
    UpdateWindow(w);
    Note("mapped");
    const ULONGLONG end = GetTickCount64() + 60000;
    MSG msg;
    while (GetTickCount64() < end) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
    }
    return 0;
}

int Listen() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in in{};
    in.sin_family = AF_INET;
    in.sin_port = htons(static_cast<u_short>(_wtoi(Env(L"KORVANE_PORT").c_str())));
    in.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(s, reinterpret_cast<sockaddr*>(&in), sizeof in) != 0 || listen(s, 8) != 0) {
        return 2;
    }
    Note("listening");
    Sleep(10000);
    return 0;
}

} // namespace

int main() {
    const std::vector<std::string> parts = NameParts();
    const std::string& mode = parts[0];
    const DWORD delay = parts.size() > 1 ? static_cast<DWORD>(std::atoi(parts[1].c_str())) : 0;
    if (mode == "stamp" && parts.size() > 1) {
        Note(parts[1]);
        return 0;
    }
    if (mode == "idle") {
        Note("idle");
        Sleep(30000);
        return 0;
    }
    Sleep(delay);
    if (mode == "window") {
        return Window();
    }
    if (mode == "exit" && parts.size() > 2) {
        Note("ending");
        return std::atoi(parts[2].c_str());
    }
    if (mode == "touch") {
        CloseHandle(CreateFileW(Env(L"KORVANE_READY_PATH").c_str(), GENERIC_WRITE, 0, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        Note("made");
        Sleep(1000);
        return 0;
    }
    if (mode == "listen") {
        return Listen();
    }
    return 2;
}

// Waiting for readiness on Windows: a process's end and its first window
// through its handle, a path and a port by looking again in short steps.
#include "shell/readiness_wait.h"
#include "store/wide_text_windows.h"

#include <winsock2.h>
#include <ws2tcpip.h>
// After the above: it would bring the older sockets otherwise.
#include <windows.h>
// Needs the types of the above.
#include <tlhelp32.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace korvane::shell {

namespace {

using win32::Widen;

std::atomic<bool> gCancelled{false};
std::atomic<HANDLE> gCancelEvent{nullptr};
std::once_flag gEventMade;

struct Handle {
    HANDLE h = nullptr;
    ~Handle() {
        if (h) {
            CloseHandle(h);
        }
    }
};

DWORD MsLeft(WaitClock::time_point until) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - WaitClock::now());
    return left.count() <= 0 ? 0 : static_cast<DWORD>(std::min<long long>(left.count(), 1 << 30));
}

// Waits on handle (none when null) and the cancel event until until: 0 the
// handle, 1 cancelled, 2 the time.
int WaitOn(HANDLE handle, WaitClock::time_point until) {
    PrepareCancel();
    if (gCancelled) {
        return 1;
    }
    HANDLE handles[2];
    DWORD count = 0;
    if (handle) {
        handles[count++] = handle;
    }
    const DWORD cancelAt = count;
    if (HANDLE cancel = gCancelEvent.load()) {
        handles[count++] = cancel;
    }
    if (count == 0) {
        Sleep(MsLeft(until));
        return gCancelled ? 1 : 2;
    }
    const DWORD r = WaitForMultipleObjects(count, handles, FALSE, MsLeft(until));
    if (gCancelled || (r == WAIT_OBJECT_0 + cancelAt && cancelAt < count)) {
        return 1;
    }
    return handle && r == WAIT_OBJECT_0 ? 0 : 2;
}

std::wstring ImageOf(HANDLE process) {
    wchar_t name[MAX_PATH * 2];
    DWORD size = MAX_PATH * 2;
    return process && QueryFullProcessImageNameW(process, 0, name, &size) ? std::wstring(name, size)
                                                                          : std::wstring();
}

std::wstring ImageOfId(DWORD pid) {
    Handle p{OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid)};
    return ImageOf(p.h);
}

// The process and every process it started, and theirs.
std::set<DWORD> Family(DWORD root) {
    std::set<DWORD> family{root};
    Handle snapshot{CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0)};
    if (snapshot.h == INVALID_HANDLE_VALUE) {
        snapshot.h = nullptr;
        return family;
    }
    std::vector<std::pair<DWORD, DWORD>> links; // child, parent
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.h, &entry); more;
         more = Process32NextW(snapshot.h, &entry)) {
        links.emplace_back(entry.th32ProcessID, entry.th32ParentProcessID);
    }
    for (bool grew = true; grew;) {
        grew = false;
        for (const auto& [child, parent] : links) {
            if (family.count(parent) && family.insert(child).second) {
                grew = true;
            }
        }
    }
    return family;
}

struct WindowSearch {
    std::set<DWORD> family;
    std::wstring image; // once the process has ended: windows of the same program count
    bool found = false;
};

bool FindWindowOf(WindowSearch& search) {
    EnumWindows(
        [](HWND w, LPARAM data) -> BOOL {
            auto& s = *reinterpret_cast<WindowSearch*>(data);
            if (!IsWindowVisible(w) || GetWindow(w, GW_OWNER) != nullptr) {
                return TRUE;
            }
            DWORD pid = 0;
            GetWindowThreadProcessId(w, &pid);
            if (s.family.count(pid) || (!s.image.empty() && ImageOfId(pid) == s.image)) {
                s.found = true;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

} // namespace

Readiness WaitForWindow(long long pid, const std::string&, WaitClock::time_point deadline) {
    if (pid <= 0) {
        return {ReadyState::CannotTell, "the system did not say which process it is"};
    }
    Handle process{OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                               static_cast<DWORD>(pid))};
    const std::wstring image = ImageOf(process.h);
    // Ready for input first, as the shell's own launches wait; then on screen.
    if (process.h) {
        (void)WaitForInputIdle(process.h, MsLeft(deadline));
    }
    bool ended = !process.h;
    for (;;) {
        WindowSearch search{Family(static_cast<DWORD>(pid)), ended ? image : L""};
        if (FindWindowOf(search)) {
            return {ReadyState::Ready,
                    ended ? "it handed over to a copy already open" : "it appeared"};
        }
        if (WaitClock::now() >= deadline) {
            return {ReadyState::TimedOut, "no window of it appeared"};
        }
        const auto step = std::min(deadline, WaitClock::now() + std::chrono::milliseconds(20));
        const int woke = WaitOn(ended ? nullptr : process.h, step);
        if (woke == 1) {
            return {ReadyState::Cancelled, ""};
        }
        if (woke == 0) {
            ended = true; // handed over to a copy of itself, perhaps
        }
    }
}

Readiness WaitForEnd(long long pid, WaitClock::time_point deadline) {
    if (pid <= 0) {
        return {ReadyState::CannotTell, "the system did not say which process it is"};
    }
    Handle process{OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                               static_cast<DWORD>(pid))};
    if (!process.h) {
        return {ReadyState::Ready, "it ended"};
    }
    switch (WaitOn(process.h, deadline)) {
    case 0: {
        DWORD code = 0;
        return {ReadyState::Ready, GetExitCodeProcess(process.h, &code)
                                       ? "it ended with exit status " + std::to_string(code)
                                       : std::string("it ended")};
    }
    case 1:
        return {ReadyState::Cancelled, ""};
    default:
        return {ReadyState::TimedOut, "it was still running"};
    }
}

namespace {

std::wstring ExpandHome(const std::string& target) {
    if (target.starts_with("~/")) {
        const wchar_t* home = _wgetenv(L"USERPROFILE");
        return std::wstring(home ? home : L"C:\\") + L"\\" + Widen(target.substr(2));
    }
    return Widen(target);
}

} // namespace

Readiness WaitForPath(const std::string& target, WaitClock::time_point deadline) {
    const std::wstring path = ExpandHome(target);
    for (bool first = true;; first = false) {
        if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
            return {ReadyState::Ready, first ? "it was there" : "it appeared"};
        }
        if (WaitClock::now() >= deadline) {
            return {ReadyState::TimedOut, "it did not appear"};
        }
        if (WaitOn(nullptr, std::min(deadline, WaitClock::now() + std::chrono::milliseconds(50))) ==
            1) {
            return {ReadyState::Cancelled, ""};
        }
    }
}

namespace {

bool Accepts(const char* host, const std::string& port) {
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (getaddrinfo(host, port.c_str(), &hints, &found) != 0) {
        return false;
    }
    bool ok = false;
    const SOCKET s = socket(found->ai_family, SOCK_STREAM, IPPROTO_TCP);
    if (s != INVALID_SOCKET) {
        u_long nonBlocking = 1;
        ioctlsocket(s, FIONBIO, &nonBlocking);
        ok = connect(s, found->ai_addr, static_cast<int>(found->ai_addrlen)) == 0;
        if (!ok && WSAGetLastError() == WSAEWOULDBLOCK) {
            fd_set writable, failed;
            FD_ZERO(&writable);
            FD_ZERO(&failed);
            FD_SET(s, &writable);
            FD_SET(s, &failed);
            timeval limit{0, 200000};
            ok = select(0, nullptr, &writable, &failed, &limit) > 0 && FD_ISSET(s, &writable);
        }
        closesocket(s);
    }
    freeaddrinfo(found);
    return ok;
}

} // namespace

Readiness WaitForPort(const std::string& port, WaitClock::time_point deadline) {
    WSADATA data;
    const bool started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    Readiness result{ReadyState::TimedOut, "nothing took connections on it"};
    for (;;) {
        if (Accepts("127.0.0.1", port) || Accepts("::1", port)) {
            result = {ReadyState::Ready, "it took a connection"};
            break;
        }
        if (WaitClock::now() >= deadline) {
            break;
        }
        if (WaitOn(nullptr, std::min(deadline, WaitClock::now() + std::chrono::milliseconds(25))) ==
            1) {
            result = {ReadyState::Cancelled, ""};
            break;
        }
    }
    if (started) {
        WSACleanup();
    }
    return result;
}

void PrepareCancel() {
    std::call_once(gEventMade, [] { gCancelEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr); });
}

void CancelWaits() {
    gCancelled = true;
    if (HANDLE event = gCancelEvent.load()) {
        SetEvent(event);
    }
}

bool WaitsCancelled() {
    return gCancelled;
}

void ResumeWaits() {
    PrepareCancel();
    gCancelled = false;
    if (HANDLE event = gCancelEvent.load()) {
        ResetEvent(event);
    }
}

bool SleepUnlessCancelled(std::chrono::milliseconds length) {
    return WaitOn(nullptr, WaitClock::now() + length) != 1;
}

std::string WindowWaitLimitation() {
    return "";
}

} // namespace korvane::shell

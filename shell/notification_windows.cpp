// Desktop notifications on Windows: a notification-area icon with a balloon
// (a toast on Windows 10 and later), kept while it may be clicked.
#include "shell/shell.h"

#include "store/wide_text_windows.h"

#include <windows.h>

#include <shellapi.h>

#include <cwchar>

namespace fs = std::filesystem;

namespace korvane::shell {

namespace {

constexpr UINT kIconMessage = WM_APP + 1;
constexpr UINT_PTR kLimitTimer = 1;

struct Notice {
    std::wstring openOnClick;
};

LRESULT CALLBACK NoticeWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* notice = reinterpret_cast<Notice*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == kIconMessage && notice) {
        switch (LOWORD(lParam)) {
        case NIN_BALLOONUSERCLICK:
        case WM_LBUTTONUP:
            if (!notice->openOnClick.empty()) {
                ShellExecuteW(nullptr, L"open", notice->openOnClick.c_str(), nullptr, nullptr,
                              SW_SHOWNORMAL);
            }
            PostQuitMessage(0);
            return 0;
        case NIN_BALLOONTIMEOUT:
        case NIN_BALLOONHIDE:
            PostQuitMessage(0);
            return 0;
        default:
            break;
        }
    }
    if (message == WM_TIMER && wParam == kLimitTimer) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

template <std::size_t N> void CopyText(wchar_t (&to)[N], const std::string& text) {
    const std::wstring wide = win32::Widen(text);
    wcsncpy(to, wide.c_str(), N - 1);
    to[N - 1] = L'\0';
}

} // namespace

bool ShowNotification(const std::string& summary, const std::string& body,
                      const fs::path& openOnClick, int waitSeconds) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = NoticeWindow;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = L"KorvaneNotice";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"Korvane", 0, 0, 0, 0, 0, nullptr,
                                  nullptr, instance, nullptr);
    if (!window) {
        return false;
    }
    Notice notice{fs::path(openOnClick).make_preferred().wstring()};
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&notice));

    NOTIFYICONDATAW icon{};
    icon.cbSize = sizeof icon;
    icon.hWnd = window;
    icon.uID = 1;
    icon.uFlags = NIF_ICON | NIF_TIP | NIF_INFO | NIF_MESSAGE;
    icon.uCallbackMessage = kIconMessage;
    icon.hIcon = LoadIconW(instance, L"IDI_ICON1");
    if (!icon.hIcon) {
        icon.hIcon = LoadIconW(nullptr, IDI_WARNING);
    }
    CopyText(icon.szTip, summary);
    CopyText(icon.szInfoTitle, summary);
    CopyText(icon.szInfo, body);
    icon.dwInfoFlags = NIIF_WARNING;
    if (!Shell_NotifyIconW(NIM_ADD, &icon)) {
        DestroyWindow(window);
        return false;
    }
    icon.uVersion = NOTIFYICON_VERSION_4;
    Shell_NotifyIconW(NIM_SETVERSION, &icon);
    if (waitSeconds > 0) {
        SetTimer(window, kLimitTimer, static_cast<UINT>(waitSeconds) * 1000u, nullptr);
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    Shell_NotifyIconW(NIM_DELETE, &icon);
    DestroyWindow(window);
    return true;
}

} // namespace korvane::shell

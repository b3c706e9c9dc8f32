#include "app/fatal_error_box.h"

#include "store/wide_text_windows.h"

#include <windows.h>

namespace korvane {

void ShowFatalErrorBox(const std::string& text) {
    // The system's own box: it needs no Qt and works before any window exists.
    MessageBoxW(nullptr, win32::Widen(text).c_str(), L"Application Error",
                MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

} // namespace korvane

// Profile files on Windows are in the user's ANSI code page.
#include "store/profile_encoding.h"

#include "store/wide_text_windows.h"

#include <windows.h>

namespace korvane {

namespace {

bool AnsiIsUtf8() {
    return GetACP() == CP_UTF8;
}

// A file that starts with the UTF-8 byte order mark is UTF-8, as the
// system's profile API also reads it; it stays so when written.
bool MarkedUtf8(std::string_view bytes) {
    return bytes.starts_with("\xEF\xBB\xBF");
}

} // namespace

std::string ProfileBytesToText(std::string bytes) {
    if (bytes.empty() || AnsiIsUtf8() || MarkedUtf8(bytes)) {
        return bytes;
    }
    return win32::Narrow(win32::ToWide(bytes, CP_ACP));
}

std::string TextToProfileBytes(std::string text) {
    if (text.empty() || AnsiIsUtf8() || MarkedUtf8(text)) {
        return text;
    }
    return win32::FromWide(win32::Widen(text), CP_ACP);
}

bool ProfileCanHold(std::string_view text) {
    if (AnsiIsUtf8()) {
        return true;
    }
    const std::wstring wide = win32::Widen(text);
    if (wide.empty()) {
        return true;
    }
    // Best-fit mapping would quietly turn "ž" into "z": a different name.
    BOOL lossy = FALSE;
    const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(),
                                      static_cast<int>(wide.size()), nullptr, 0, nullptr, &lossy);
    return n > 0 && !lossy;
}

} // namespace korvane

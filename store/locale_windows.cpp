// The user's time format from the Windows locale settings.
#include "store/clock_time.h"

#include "store/wide_text_windows.h"

#include <windows.h>

namespace korvane {

namespace {

std::string LocaleText(LCTYPE type) {
    wchar_t buf[128] = {};
    const int n = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, type, buf, 128);
    return n > 1 ? win32::Narrow(std::wstring_view(buf, static_cast<std::size_t>(n - 1)))
                 : std::string();
}

} // namespace

TimeFormat LocaleTimeFormat() {
    const std::string pattern = LocaleText(LOCALE_STIMEFORMAT);
    if (pattern.empty()) {
        return TimeFormat{};
    }
    return TimeFormatFromWindows(pattern, LocaleText(LOCALE_S1159), LocaleText(LOCALE_S2359),
                                 LocaleText(LOCALE_SDECIMAL));
}

} // namespace korvane

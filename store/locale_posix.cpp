// The user's time format from the C library's locale data.
#include "store/clock_time.h"

#include <cstdlib>
#include <langinfo.h>
#include <locale.h>
#include <string>

namespace korvane {

namespace {

std::string EnvOrEmpty(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

} // namespace

TimeFormat LocaleTimeFormat() {
    std::string name = EnvOrEmpty("LC_ALL");
    if (name.empty()) {
        name = EnvOrEmpty("LC_TIME");
    }
    if (name.empty()) {
        name = EnvOrEmpty("LANG");
    }
    // The C locale says nothing about the user; keep the plain 24-hour form.
    if (name.empty() || name == "C" || name == "POSIX" || name.starts_with("C.")) {
        return TimeFormat{};
    }
    locale_t loc = newlocale(LC_TIME_MASK | LC_NUMERIC_MASK, "", static_cast<locale_t>(nullptr));
    if (!loc) {
        return TimeFormat{};
    }
    TimeFormat format =
        TimeFormatFromPosix(nl_langinfo_l(T_FMT, loc), nl_langinfo_l(AM_STR, loc),
                            nl_langinfo_l(PM_STR, loc), nl_langinfo_l(RADIXCHAR, loc));
    freelocale(loc);
    return format;
}

} // namespace korvane

// Lower-case mapping of one code point with the system's invariant tables,
// so names compare the same whatever the user's language is.
#include <windows.h>

namespace korvane::utf8 {

char32_t LowerCodePoint(char32_t c) {
    wchar_t units[2];
    int n = 1;
    if (c >= 0x10000) {
        const char32_t v = c - 0x10000;
        units[0] = static_cast<wchar_t>(0xD800 + (v >> 10));
        units[1] = static_cast<wchar_t>(0xDC00 + (v & 0x3FF));
        n = 2;
    } else {
        units[0] = static_cast<wchar_t>(c);
    }
    wchar_t lower[4] = {};
    const int got = LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_LOWERCASE, units, n, lower, 4,
                                  nullptr, nullptr, 0);
    if (got == 1 && n == 1) {
        return static_cast<char32_t>(lower[0]);
    }
    if (got == 2 && lower[0] >= 0xD800 && lower[0] < 0xDC00) {
        return 0x10000 + ((static_cast<char32_t>(lower[0]) - 0xD800) << 10) +
               (static_cast<char32_t>(lower[1]) - 0xDC00);
    }
    return c;
}

} // namespace korvane::utf8

// Lower-case mapping of one code point through the C library's Unicode tables.
#include <clocale>
#include <locale.h>
#include <wctype.h>

namespace korvane::utf8 {

char32_t LowerCodePoint(char32_t c) {
    // The UTF-8 C locale carries the full Unicode case tables whatever the
    // user's own locale is, so names compare the same for every user.
    static const locale_t unicode = [] {
        locale_t loc = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
        return loc ? loc : newlocale(LC_CTYPE_MASK, "C.utf8", static_cast<locale_t>(nullptr));
    }();
    if (!unicode) {
        return c;
    }
    return static_cast<char32_t>(towlower_l(static_cast<wint_t>(c), unicode));
}

} // namespace korvane::utf8

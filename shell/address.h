#pragma once

#include <string_view>

namespace korvane::shell {

// Whether text starts with a URL scheme ("https:", "mailto:", "file:"):
// a letter, then letters, digits, "+", "-" or ".", then ":". One letter is
// a drive ("C:"), not a scheme.
inline bool HasUrlScheme(std::string_view text) {
    const auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    if (text.empty() || !letter(text[0])) {
        return false;
    }
    for (std::size_t i = 1; i < text.size(); ++i) {
        const char c = text[i];
        if (c == ':') {
            return i >= 2;
        }
        if (!letter(c) && !(c >= '0' && c <= '9') && c != '+' && c != '-' && c != '.') {
            return false;
        }
    }
    return false;
}

} // namespace korvane::shell

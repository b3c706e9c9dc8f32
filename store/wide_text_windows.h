#pragma once

// 8-bit and UTF-16 text for calls into the Windows API.

#include <string>
#include <string_view>

namespace korvane::win32 {

// Between text in a code page (CP_UTF8 = 65001, CP_ACP = 0, ...) and UTF-16.
std::wstring ToWide(std::string_view text, unsigned codePage);
std::string FromWide(std::wstring_view wide, unsigned codePage);

// The same for UTF-8, the program's own text.
std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view wide);

// The system's words for an error code ("Access is denied."), in the
// user's language.
std::string SystemMessage(unsigned long code);

} // namespace korvane::win32

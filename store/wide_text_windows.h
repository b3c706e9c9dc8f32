#pragma once

// UTF-8 and UTF-16 text for calls into the Windows API.

#include <string>
#include <string_view>

namespace korvane::win32 {

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view wide);

} // namespace korvane::win32

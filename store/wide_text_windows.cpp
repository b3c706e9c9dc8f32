#include "store/wide_text_windows.h"

#include <windows.h>

#include <cwctype>
#include <string>

namespace korvane::win32 {

std::wstring ToWide(std::string_view text, unsigned codePage) {
    if (text.empty()) {
        return {};
    }
    const int n =
        MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

std::string FromWide(std::wstring_view wide, unsigned codePage) {
    if (wide.empty()) {
        return {};
    }
    const int n = WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), text.data(), n,
                        nullptr, nullptr);
    return text;
}

std::wstring Widen(std::string_view utf8) {
    return ToWide(utf8, CP_UTF8);
}

std::string Narrow(std::wstring_view wide) {
    return FromWide(wide, CP_UTF8);
}

std::string SystemMessage(unsigned long code) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message(text ? text : L"", length);
    LocalFree(text);
    while (!message.empty() && std::iswspace(message.back())) {
        message.pop_back();
    }
    return message.empty() ? "error " + std::to_string(code) : Narrow(message);
}

} // namespace korvane::win32

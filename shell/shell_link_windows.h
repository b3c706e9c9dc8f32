#pragma once
// The shell link object (COM) for the Windows shell backend and the link
// property sheet.

#include <windows.h>

#include <knownfolders.h>
#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "store/errors.h"
#include "store/wide_text_windows.h"

#include <filesystem>
#include <memory>
#include <string>

namespace korvane::shell::win32link {

// The shell's objects need COM on the calling thread; a thread that has it
// already (the windows' thread) keeps its own apartment.
class ComScope {
  public:
    ComScope() : hr_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
    ~ComScope() {
        if (SUCCEEDED(hr_)) {
            CoUninitialize();
        }
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

  private:
    HRESULT hr_;
};

struct Release {
    void operator()(IUnknown* p) const {
        if (p) {
            p->Release();
        }
    }
};
template <class T> using ComPtr = std::unique_ptr<T, Release>;

inline ComPtr<IShellLinkW> NewShellLink() {
    IShellLinkW* link = nullptr;
    const HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                        IID_IShellLinkW, reinterpret_cast<void**>(&link));
    if (FAILED(hr) || !link) {
        throw Error("The shell's link object is not available (error " +
                    std::to_string(static_cast<unsigned long>(hr)) + ")");
    }
    return ComPtr<IShellLinkW>(link);
}

inline ComPtr<IPersistFile> PersistOf(IShellLinkW* link) {
    IPersistFile* file = nullptr;
    if (FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        return nullptr;
    }
    return ComPtr<IPersistFile>(file);
}

// A known folder of the user's (the desktop, the Startup folder); empty when
// the system has none.
inline std::filesystem::path KnownFolder(REFKNOWNFOLDERID id) {
    PWSTR path = nullptr;
    std::filesystem::path result;
    if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &path)) && path) {
        result = path;
    }
    CoTaskMemFree(path);
    return result;
}

// A loaded link, or nothing when the file is missing or not a link.
inline ComPtr<IShellLinkW> LoadShellLink(const std::filesystem::path& linkFile) {
    ComPtr<IShellLinkW> link = NewShellLink();
    ComPtr<IPersistFile> file = PersistOf(link.get());
    if (!file ||
        FAILED(file->Load(std::filesystem::path(linkFile).make_preferred().c_str(), STGM_READ))) {
        return nullptr;
    }
    return link;
}

// One text field of a loaded link, read by get(link, buffer, size); "" when
// the call fails.
template <class Get> std::string LinkField(IShellLinkW* link, Get get) {
    constexpr int kSize = 32768; // the longest path Windows has
    std::wstring buf(kSize, L'\0');
    if (FAILED(get(link, buf.data(), kSize))) {
        return {};
    }
    return win32::Narrow(buf.c_str());
}

// The target's folder: up to and including its last "\" or ":".
inline std::wstring FolderOf(const std::wstring& target) {
    const std::size_t cut = target.find_last_of(L"\\:/");
    return cut == std::wstring::npos ? std::wstring() : target.substr(0, cut + 1);
}

// One argument quoted so that CommandLineToArgvW and the C runtime read it
// back; always in quotes, as people read and write them ("Morning").
inline std::wstring QuoteArgument(const std::wstring& arg) {
    std::wstring out = L"\"";
    std::size_t slashes = 0;
    for (const wchar_t c : arg) {
        if (c == L'\\') {
            ++slashes;
            continue;
        }
        if (c == L'"') {
            out.append(slashes * 2 + 1, L'\\');
        } else {
            out.append(slashes, L'\\');
        }
        slashes = 0;
        out += c;
    }
    out.append(slashes * 2, L'\\');
    out += L'"';
    return out;
}

// The system's words for an error code, in the user's language.
inline std::string SystemMessage(DWORD code) {
    return win32::SystemMessage(code);
}

} // namespace korvane::shell::win32link

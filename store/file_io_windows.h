#pragma once

// What the file layer's Windows files share: a handle closed when it goes,
// errors in the system's words, and the check that no step below a guarded
// folder is a link.

#include "store/file_io.h"
#include "store/file_io_detail.h"
#include "store/wide_text_windows.h"

#include <windows.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace korvane::detail {

inline constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

class Handle {
  public:
    explicit Handle(HANDLE h) : h_(h) {}
    ~Handle() {
        if (valid()) {
            CloseHandle(h_);
        }
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return h_; }
    bool valid() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
    bool close() {
        const bool ok = CloseHandle(h_) != 0;
        h_ = INVALID_HANDLE_VALUE;
        return ok;
    }

  private:
    HANDLE h_;
};

// The system's words for an error code, as a reason in a sentence of ours.
inline std::string SystemText(DWORD code) {
    std::string text = win32::SystemMessage(code);
    while (!text.empty() && text.back() == '.') {
        text.pop_back();
    }
    return text;
}

[[noreturn]] inline void ThrowReason(DWORD error, const std::filesystem::path& path, const std::string& reason) {
    throw FileError(std::error_code(static_cast<int>(error), std::system_category()), path,
                    reason);
}

[[noreturn]] inline void ThrowLastError(const std::filesystem::path& path, DWORD error = GetLastError()) {
    ThrowReason(error, path, SystemText(error));
}

inline bool NotThere(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// Below a guarded folder no step may be a reparse point (a symbolic link or
// a junction): FileError (kSymlinkInside) for one. The last step is looked
// at only when asked.
inline void CheckNoLinks(const std::filesystem::path& path, bool last) {
    const detail::GuardedPath where = detail::LocateGuarded(path);
    if (!where.Guarded()) {
        return;
    }
    std::filesystem::path at = where.root;
    const std::size_t steps = where.steps.size() - (last ? 0 : 1);
    for (std::size_t i = 0; i < steps; ++i) {
        at /= where.steps[i];
        const DWORD attributes = GetFileAttributesW(at.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            return; // missing: what follows says so
        }
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            ThrowReason(ERROR_CANT_RESOLVE_FILENAME, at, kSymlinkInside);
        }
    }
}

// Whether the last step of path must not be followed either.
inline bool DeepInside(const std::filesystem::path& path) {
    const detail::GuardedPath where = detail::LocateGuarded(path);
    return where.Guarded() && !where.TopLevel();
}

inline bool IsDirectory(const BY_HANDLE_FILE_INFORMATION& info) {
    return (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

} // namespace korvane::detail

#include "store/file_io.h"
#include "store/file_io_detail.h"

#include <windows.h>

#include <cstdint>
#include <string>

namespace fs = std::filesystem;

namespace korvane {

namespace {

// A named mutex per folder, named after its full path in upper case (as the
// file system compares names). It needs no file in the folder and is given up
// by the system when its holder dies; a thread that holds it may take it again.
std::wstring LockName(const fs::path& folder) {
    std::error_code ec;
    fs::path full = fs::absolute(folder.empty() ? fs::path(L".") : folder, ec);
    std::wstring text = (ec ? folder : full).lexically_normal().wstring();
    while (text.size() > 3 && (text.back() == L'\\' || text.back() == L'/')) {
        text.pop_back();
    }
    if (!text.empty()) {
        CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
    }
    std::uint64_t hash = 1469598103934665603ull; // FNV-1a
    for (const wchar_t c : text) {
        hash = (hash ^ static_cast<std::uint16_t>(c)) * 1099511628211ull;
    }
    wchar_t name[64];
    wsprintfW(name, L"Local\\Korvane.FolderLock.%08lX%08lX", static_cast<unsigned long>(hash >> 32),
              static_cast<unsigned long>(hash & 0xFFFFFFFFu));
    return name;
}

bool Got(DWORD result) {
    return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}

} // namespace

FolderLock::FolderLock(const fs::path& folder, Wait wait) {
    HANDLE mutex = CreateMutexW(nullptr, FALSE, LockName(folder).c_str());
    if (!mutex) {
        return;
    }
    DWORD got = WaitForSingleObject(mutex, 0);
    if (got == WAIT_TIMEOUT && wait == Wait::UntilHad) {
        // Another process is writing: waited for, and said so after a while.
        got = WaitForSingleObject(mutex, detail::kLockNoticeMs);
        if (got == WAIT_TIMEOUT) {
            detail::NoteLockWait(true);
            got = WaitForSingleObject(mutex, INFINITE);
            detail::NoteLockWait(false);
        }
    }
    if (!Got(got)) {
        CloseHandle(mutex);
        return;
    }
    handle_ = reinterpret_cast<std::intptr_t>(mutex);
}

FolderLock::~FolderLock() {
    if (handle_ != -1) {
        const HANDLE mutex = reinterpret_cast<HANDLE>(handle_);
        ReleaseMutex(mutex);
        CloseHandle(mutex);
    }
}

} // namespace korvane

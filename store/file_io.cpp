#include "store/file_io.h"

#include "store/file_io_detail.h"
#include "store/utf8.h"

#include <algorithm>
#include <mutex>

namespace fs = std::filesystem;

namespace korvane {

namespace {

std::mutex& GuardMutex() {
    static std::mutex mutex;
    return mutex;
}

std::vector<fs::path>& GuardedFolders() {
    static std::vector<fs::path> folders;
    return folders;
}

// Absolute, without "." and "..", and without a separator at the end.
fs::path Plain(const fs::path& path) {
    std::error_code ec;
    fs::path p = fs::absolute(path, ec);
    p = (ec ? path : p).lexically_normal();
    if (!p.has_filename() && p.has_relative_path()) {
        p = p.parent_path();
    }
    return p;
}

} // namespace

FileError::FileError(std::error_code code, const fs::path& path, const std::string& reason)
    : std::system_error(code, utf8::FromPath(path)), reason_(reason),
      text_(utf8::FromPath(path) + ": " + reason) {}

void GuardFolder(const fs::path& folder) {
    if (folder.empty()) {
        return; // no folder named: nothing (least of all the current one) is guarded
    }
    const fs::path plain = Plain(folder);
    const std::lock_guard lock(GuardMutex());
    auto& folders = GuardedFolders();
    if (std::find(folders.begin(), folders.end(), plain) == folders.end()) {
        folders.push_back(plain);
    }
}

namespace detail {

GuardedPath LocateGuarded(const fs::path& path) {
    const fs::path plain = Plain(path);
    const std::lock_guard lock(GuardMutex());
    for (const fs::path& root : GuardedFolders()) {
        auto p = plain.begin();
        bool inside = true;
        for (auto r = root.begin(); r != root.end(); ++r, ++p) {
            if (p == plain.end() || *p != *r) {
                inside = false;
                break;
            }
        }
        if (!inside) {
            continue;
        }
        GuardedPath found{root, {}};
        for (; p != plain.end(); ++p) {
            if (!p->empty()) {
                found.steps.push_back(*p);
            }
        }
        return found;
    }
    return {};
}

} // namespace detail

FileIdentity ReplaceFileLocked(const fs::path& path, std::string_view contents) {
    FolderLock lock(path.parent_path());
    return ReplaceFileAtomically(path, contents);
}

namespace {

std::mutex& NoticeMutex() {
    static std::mutex mutex;
    return mutex;
}

FolderLock::WaitNotice& Notice() {
    static FolderLock::WaitNotice notice;
    return notice;
}

} // namespace

void FolderLock::SetWaitNotice(WaitNotice notice) {
    const std::lock_guard lock(NoticeMutex());
    Notice() = std::move(notice);
}

namespace detail {

void NoteLockWait(bool waiting) {
    FolderLock::WaitNotice notice;
    {
        const std::lock_guard lock(NoticeMutex());
        notice = Notice();
    }
    if (notice) {
        notice(waiting);
    }
}

} // namespace detail

} // namespace korvane

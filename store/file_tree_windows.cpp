// The file layer's folders on Windows: what is at a path, listings, folders
// made and entries removed, copies and growing files, none of them ever
// following a link (a reparse point) below a guarded folder.
#include "store/file_io.h"
#include "store/file_io_windows.h"

#include <windows.h>

#include <string>

namespace fs = std::filesystem;

namespace korvane {

using namespace detail;

EntryKind KindOf(const fs::path& path) {
    try {
        CheckNoLinks(path, false);
    } catch (const FileError&) {
        return EntryKind::Link; // what lies behind a link on the way is not the tree's
    }
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return EntryKind::Missing;
    }
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        return EntryKind::Link;
    }
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? EntryKind::Folder : EntryKind::File;
}

std::vector<FolderEntry> ListFolder(const fs::path& folder) {
    CheckNoLinks(folder, true);
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        if (NotThere(error)) {
            return {};
        }
        ThrowLastError(folder, error);
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        ThrowReason(ERROR_DIRECTORY, folder, "it is not a folder");
    }
    std::vector<FolderEntry> entries;
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileExW((folder / L"*").c_str(), FindExInfoBasic, &found,
                                     FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (NotThere(error)) {
            return {};
        }
        ThrowLastError(folder, error);
    }
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") {
            continue;
        }
        const DWORD a = found.dwFileAttributes;
        entries.push_back({fs::path(name), (a & FILE_ATTRIBUTE_REPARSE_POINT) ? EntryKind::Link
                                           : (a & FILE_ATTRIBUTE_DIRECTORY)  ? EntryKind::Folder
                                                                             : EntryKind::File});
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return entries;
}

void MakeFolders(const fs::path& folder) {
    const detail::GuardedPath where = detail::LocateGuarded(folder);
    if (!where.Guarded()) {
        std::error_code ec;
        fs::create_directories(folder, ec);
        if (ec) {
            ThrowLastError(folder, static_cast<DWORD>(ec.value()));
        }
        return;
    }
    fs::path at = where.root;
    for (const fs::path& step : where.steps) {
        at /= step;
        if (!CreateDirectoryW(at.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
            ThrowLastError(at);
        }
        const DWORD attributes = GetFileAttributesW(at.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            ThrowReason(ERROR_CANT_RESOLVE_FILENAME, at, kSymlinkInside);
        }
        if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            ThrowReason(ERROR_DIRECTORY, at, "it is not a folder");
        }
    }
}

bool RemoveEntry(const fs::path& path) {
    CheckNoLinks(path, false);
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        if (NotThere(error)) {
            return false;
        }
        ThrowLastError(path, error);
    }
    // A junction or a link to a folder goes as itself: the folder it names stays.
    const bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (folder ? RemoveDirectoryW(path.c_str()) : DeleteFileW(path.c_str())) {
        return true;
    }
    const DWORD error = GetLastError();
    if (NotThere(error) || (folder && error == ERROR_DIR_NOT_EMPTY)) {
        return false;
    }
    ThrowLastError(path, error);
}

void CopyNewFile(const fs::path& source, const fs::path& dest) {
    CheckNoLinks(source, DeepInside(source));
    CheckNoLinks(dest, true);
    Handle in(CreateFileW(source.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!in.valid()) {
        ThrowLastError(source);
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileType(in.get()) != FILE_TYPE_DISK || !GetFileInformationByHandle(in.get(), &info) ||
        IsDirectory(info)) {
        ThrowReason(ERROR_BAD_FILE_TYPE, source, kNotRegular);
    }
    Handle out(CreateFileW(dest.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out.valid()) {
        ThrowLastError(dest);
    }
    // Nothing half-copied stays behind.
    auto fail = [&](DWORD error, const fs::path& which) {
        if (out.valid()) {
            out.close();
        }
        DeleteFileW(dest.c_str());
        ThrowLastError(which, error);
    };
    char buffer[65536];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(in.get(), buffer, sizeof buffer, &got, nullptr)) {
            fail(GetLastError(), source);
        }
        if (got == 0) {
            break;
        }
        DWORD done = 0;
        while (done < got) {
            DWORD n = 0;
            if (!WriteFile(out.get(), buffer + done, got - done, &n, nullptr)) {
                fail(GetLastError(), dest);
            }
            if (n == 0) {
                fail(ERROR_DISK_FULL, dest);
            }
            done += n;
        }
    }
    if (!FlushFileBuffers(out.get())) {
        fail(GetLastError(), dest);
    }
    if (!out.close()) {
        fail(GetLastError(), dest);
    }
}

GrowingFile::~GrowingFile() {
    Close();
}

void GrowingFile::Create(const fs::path& path) {
    Close();
    CheckNoLinks(path, false);
    const HANDLE h = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                 nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        ThrowLastError(path);
    }
    handle_ = reinterpret_cast<std::intptr_t>(h);
    path_ = path;
}

void GrowingFile::Append(std::string_view bytes) {
    if (handle_ == -1) {
        ThrowLastError(path_, ERROR_INVALID_HANDLE);
    }
    const HANDLE h = reinterpret_cast<HANDLE>(handle_);
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD n = 0;
        const std::size_t left = bytes.size() - done;
        if (!WriteFile(h, bytes.data() + done, static_cast<DWORD>(left > 0x10000000 ? 0x10000000 : left),
                       &n, nullptr)) {
            ThrowLastError(path_);
        }
        if (n == 0) {
            ThrowLastError(path_, ERROR_DISK_FULL);
        }
        done += n;
    }
}

void GrowingFile::Close() {
    if (handle_ != -1) {
        CloseHandle(reinterpret_cast<HANDLE>(handle_));
        handle_ = -1;
    }
}

} // namespace korvane

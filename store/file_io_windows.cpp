#include "store/file_io.h"
#include "store/file_io_detail.h"
#include "store/file_io_windows.h"
#include "store/wide_text_windows.h"

#include <windows.h>

#include <atomic>
#include <string>
#include <system_error>

namespace fs = std::filesystem;

namespace korvane {

using namespace detail;

namespace {

FileIdentity IdentityOf(const BY_HANDLE_FILE_INFORMATION& info) {
    const auto join = [](DWORD high, DWORD low) {
        return (static_cast<std::uint64_t>(high) << 32) | low;
    };
    return FileIdentity{info.dwVolumeSerialNumber, join(info.nFileIndexHigh, info.nFileIndexLow),
                        static_cast<std::int64_t>(join(info.nFileSizeHigh, info.nFileSizeLow)),
                        static_cast<std::int64_t>(join(info.ftLastWriteTime.dwHighDateTime,
                                                       info.ftLastWriteTime.dwLowDateTime)) *
                            100};
}


// What the file system says of a file or folder, without opening its contents.
std::optional<BY_HANDLE_FILE_INFORMATION> QueryInfo(const fs::path& path) {
    Handle h(CreateFileW(path.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!h.valid() || !GetFileInformationByHandle(h.get(), &info)) {
        return std::nullopt;
    }
    return info;
}

std::wstring TempPrefix(const fs::path& target) {
    return L"." + target.filename().wstring() + L".tmp-";
}

// Temporaries are only alive while their writer holds the folder lock, so any
// one found under the lock was left by a writer that died.
void RemoveStaleTemporaries(const fs::path& target) {
    const std::wstring prefix = TempPrefix(target);
    std::error_code ec;
    for (fs::directory_iterator it(target.parent_path(), ec), end; !ec && it != end;
         it.increment(ec)) {
        if (it->path().filename().wstring().starts_with(prefix)) {
            fs::remove(it->path(), ec);
            ec.clear();
        }
    }
}

// A virus scanner or indexer may hold the file for a moment: retry briefly.
bool Transient(DWORD error) {
    return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION ||
           error == ERROR_LOCK_VIOLATION;
}

} // namespace

std::optional<FileIdentity> IdentifyFile(const fs::path& path) {
    try {
        CheckNoLinks(path, DeepInside(path));
    } catch (const FileError&) {
        return std::nullopt;
    }
    const auto info = QueryInfo(path);
    if (!info || IsDirectory(*info)) {
        return std::nullopt;
    }
    return IdentityOf(*info);
}

std::optional<FileSnapshot> ReadFileSnapshot(const fs::path& path) {
    CheckNoLinks(path, DeepInside(path));
    Handle h(CreateFileW(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h.valid()) {
        const DWORD error = GetLastError();
        if (NotThere(error)) {
            return std::nullopt;
        }
        ThrowLastError(path, error);
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileType(h.get()) != FILE_TYPE_DISK) {
        ThrowReason(ERROR_BAD_FILE_TYPE, path, kNotRegular); // a pipe or a device
    }
    if (!GetFileInformationByHandle(h.get(), &info)) {
        ThrowLastError(path);
    }
    if (IsDirectory(info)) {
        ThrowReason(ERROR_DIRECTORY, path, kNotRegular);
    }
    FileSnapshot snap{IdentityOf(info), {}};
    // One byte more than its size, so that the read which finds the end
    // needs no larger buffer (and no copy of a large file into it).
    snap.bytes.resize(static_cast<std::size_t>(snap.identity.size) + 1);
    std::size_t got = 0;
    for (;;) {
        if (got == snap.bytes.size()) {
            snap.bytes.resize(snap.bytes.size() + 4096); // the file may have grown
        }
        const std::size_t room = snap.bytes.size() - got;
        DWORD n = 0;
        if (!ReadFile(h.get(), snap.bytes.data() + got,
                      static_cast<DWORD>(room > 0x10000000 ? 0x10000000 : room), &n, nullptr)) {
            ThrowLastError(path);
        }
        if (n == 0) {
            break;
        }
        got += n;
    }
    snap.bytes.resize(got);
    return snap;
}

FileIdentity ReplaceFileAtomically(const fs::path& path, std::string_view contents) {
    CheckNoLinks(path, DeepInside(path));
    if (const auto old = QueryInfo(path); old && IsDirectory(*old)) {
        ThrowLastError(path, ERROR_DIRECTORY);
    } else if (old && (old->dwFileAttributes & FILE_ATTRIBUTE_READONLY)) {
        ThrowLastError(path, ERROR_ACCESS_DENIED); // the user made it read-only
    }
    RemoveStaleTemporaries(path);

    static std::atomic<unsigned> counter{0};
    fs::path temp;
    HANDLE raw = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 100 && raw == INVALID_HANDLE_VALUE; ++attempt) {
        temp = path.parent_path() / (TempPrefix(path) + std::to_wstring(GetCurrentProcessId()) +
                                     L"-" + std::to_wstring(counter++));
        raw = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
        if (raw == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) {
            ThrowLastError(path);
        }
    }
    if (raw == INVALID_HANDLE_VALUE) {
        ThrowLastError(path);
    }
    Handle file(raw);
    auto fail = [&](DWORD error) {
        if (file.valid()) {
            file.close();
        }
        DeleteFileW(temp.c_str());
        ThrowLastError(path, error);
    };
    std::size_t done = 0;
    while (done < contents.size()) {
        const std::size_t left = contents.size() - done;
        DWORD n = 0;
        if (!WriteFile(file.get(), contents.data() + done,
                       static_cast<DWORD>(left > 0x10000000 ? 0x10000000 : left), &n, nullptr)) {
            fail(GetLastError());
        }
        if (n == 0) {
            fail(ERROR_DISK_FULL);
        }
        done += n;
    }
    BY_HANDLE_FILE_INFORMATION fresh{};
    if (!FlushFileBuffers(file.get())) {
        fail(GetLastError());
    }
    if (!GetFileInformationByHandle(file.get(), &fresh)) {
        fail(GetLastError());
    }
    if (!file.close()) {
        fail(GetLastError());
    }
    // The file index stays with the file across the rename, so the identity
    // read above is the new file's.
    for (int attempt = 0;; ++attempt) {
        if (MoveFileExW(temp.c_str(), path.c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            break;
        }
        const DWORD error = GetLastError();
        if (!Transient(error) || attempt >= 20) {
            fail(error);
        }
        Sleep(10);
    }
    return IdentityOf(fresh);
}

} // namespace korvane

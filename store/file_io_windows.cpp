#include "store/file_io.h"
#include "store/file_io_detail.h"
#include "store/wide_text_windows.h"

#include <windows.h>

#include <atomic>
#include <cwctype>
#include <string>
#include <system_error>

namespace fs = std::filesystem;

namespace korvane {

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

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

// The system's words for an error code.
std::string SystemText(DWORD code) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message(text ? text : L"", length);
    LocalFree(text);
    while (!message.empty() && (std::iswspace(message.back()) || message.back() == L'.')) {
        message.pop_back();
    }
    return message.empty() ? "error " + std::to_string(code) : win32::Narrow(message);
}

[[noreturn]] void ThrowReason(DWORD error, const fs::path& path, const std::string& reason) {
    throw FileError(std::error_code(static_cast<int>(error), std::system_category()), path,
                    reason);
}

[[noreturn]] void ThrowLastError(const fs::path& path, DWORD error = GetLastError()) {
    ThrowReason(error, path, SystemText(error));
}

bool NotThere(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// Below a guarded folder no step may be a reparse point (a symbolic link or
// a junction): FileError (kSymlinkInside) for one. The last step is looked
// at only when asked.
void CheckNoLinks(const fs::path& path, bool last) {
    const detail::GuardedPath where = detail::LocateGuarded(path);
    if (!where.Guarded()) {
        return;
    }
    fs::path at = where.root;
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
bool DeepInside(const fs::path& path) {
    const detail::GuardedPath where = detail::LocateGuarded(path);
    return where.Guarded() && !where.TopLevel();
}

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

bool IsDirectory(const BY_HANDLE_FILE_INFORMATION& info) {
    return (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
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

#include "store/fd_posix.h"
#include "store/file_io.h"
#include "store/file_io_detail.h"

#include <atomic>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

namespace korvane {

using detail::Fd;
using detail::OpenParent;
using detail::Parent;
using detail::ThrowFileError;

namespace detail {

std::string ErrnoText(int error) {
    return std::generic_category().message(error);
}

void ThrowFileError(int error, const fs::path& path) {
    ThrowFileError(error, path, ErrnoText(error));
}

void ThrowFileError(int error, const fs::path& path, const std::string& reason) {
    throw FileError(std::error_code(error, std::generic_category()), path, reason);
}

namespace {

// Why a folder on the way that exists could not be opened as one.
[[noreturn]] void ThrowNotFolder(int folder, const fs::path& step, const fs::path& shown,
                                 int error) {
    struct stat st {};
    if (::fstatat(folder, step.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode)) {
        ThrowFileError(ELOOP, shown, kSymlinkInside);
    }
    if (error == ENOTDIR) {
        ThrowFileError(ENOTDIR, shown, "it is not a folder");
    }
    ThrowFileError(error, shown);
}

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

// One step further down, never through a link.
Fd OpenStep(int folder, const fs::path& step, const fs::path& shown) {
    Fd next(::openat(folder, step.c_str(), kFolderFlags | O_NOFOLLOW));
    if (!next.Valid()) {
        const int error = errno;
        if (error == ENOTDIR || error == ELOOP) {
            ThrowNotFolder(folder, step, shown, error);
        }
        ThrowFileError(error, shown);
    }
    return next;
}

} // namespace

Parent OpenParent(const fs::path& path) {
    const GuardedPath where = LocateGuarded(path);
    Parent p;
    if (!where.Guarded()) {
        fs::path clean = path.lexically_normal();
        if (!clean.has_filename() && clean.has_relative_path()) {
            clean = clean.parent_path();
        }
        const fs::path folder = clean.parent_path();
        p.leaf = clean.filename();
        p.folder = Fd(::open(folder.empty() ? "." : folder.c_str(), kFolderFlags));
        if (!p.folder.Valid()) {
            ThrowFileError(errno, folder);
        }
        return p;
    }
    p.guarded = true;
    p.topLevel = where.TopLevel();
    p.folder = Fd(::open(where.root.c_str(), kFolderFlags));
    if (!p.folder.Valid()) {
        ThrowFileError(errno, where.root);
    }
    fs::path shown = where.root;
    for (std::size_t i = 0; i + 1 < where.steps.size(); ++i) {
        shown /= where.steps[i];
        p.folder = OpenStep(p.folder.Get(), where.steps[i], shown);
    }
    p.leaf = where.steps.back();
    return p;
}

} // namespace detail

namespace {

constexpr int kReadFlags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;

FileIdentity IdentityOf(const struct stat& st) {
    return FileIdentity{
        static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
        static_cast<std::int64_t>(st.st_size),
        static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

EntryKind KindOfMode(mode_t mode) {
    return S_ISREG(mode)   ? EntryKind::File
           : S_ISDIR(mode) ? EntryKind::Folder
           : S_ISLNK(mode) ? EntryKind::Link
                           : EntryKind::Other;
}

bool Missing(const FileError& error) {
    return error.code().value() == ENOENT;
}

// The regular file at path, opened for reading without ever blocking; none
// when there is no file there.
std::optional<Fd> OpenRegularFile(const fs::path& path, struct stat& st) {
    const detail::GuardedPath where = detail::LocateGuarded(path);
    Fd fd;
    if (!where.Guarded() || where.TopLevel()) {
        fd = Fd(::open(path.c_str(), kReadFlags));
    } else {
        Parent p;
        try {
            p = OpenParent(path);
        } catch (const FileError& error) {
            if (Missing(error)) {
                return std::nullopt;
            }
            throw;
        }
        fd = Fd(::openat(p.folder.Get(), p.leaf.c_str(), kReadFlags | O_NOFOLLOW));
        if (!fd.Valid() && errno == ELOOP) {
            ThrowFileError(ELOOP, path, kSymlinkInside);
        }
    }
    if (!fd.Valid()) {
        const int error = errno;
        if (error == ENOENT || error == ENOTDIR) {
            return std::nullopt;
        }
        ThrowFileError(error, path);
    }
    if (::fstat(fd.Get(), &st) != 0) {
        ThrowFileError(errno, path);
    }
    if (!S_ISREG(st.st_mode)) {
        ThrowFileError(S_ISDIR(st.st_mode) ? EISDIR : EINVAL, path, kNotRegular);
    }
    return fd;
}

std::string TempPrefix(const fs::path& leaf) {
    return "." + leaf.string() + ".tmp-";
}

// Temporaries are only alive while their writer holds the folder lock, so any
// one found under the lock was left by a writer that died.
void RemoveStaleTemporaries(const Parent& p) {
    const std::string prefix = TempPrefix(p.leaf);
    const int copy = ::fcntl(p.folder.Get(), F_DUPFD_CLOEXEC, 0);
    DIR* dir = copy >= 0 ? ::fdopendir(copy) : nullptr;
    if (!dir) {
        if (copy >= 0) {
            ::close(copy);
        }
        return;
    }
    while (const dirent* entry = ::readdir(dir)) {
        if (std::string_view(entry->d_name).starts_with(prefix)) {
            (void)::unlinkat(p.folder.Get(), entry->d_name, 0);
        }
    }
    ::closedir(dir);
}

// Writes all of bytes; false with errno set when it cannot.
bool WriteAll(int fd, std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            if (n == 0) {
                errno = ENOSPC;
            }
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

std::optional<FileIdentity> IdentifyFile(const fs::path& path) {
    struct stat st {};
    const detail::GuardedPath where = detail::LocateGuarded(path);
    if (!where.Guarded() || where.TopLevel()) {
        if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
            return std::nullopt;
        }
        return IdentityOf(st);
    }
    try {
        const Parent p = OpenParent(path);
        if (::fstatat(p.folder.Get(), p.leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(st.st_mode)) {
            return std::nullopt;
        }
    } catch (const FileError&) {
        return std::nullopt;
    }
    return IdentityOf(st);
}

std::optional<FileSnapshot> ReadFileSnapshot(const fs::path& path) {
    struct stat st {};
    const auto fd = OpenRegularFile(path, st);
    if (!fd) {
        return std::nullopt;
    }
    FileSnapshot snap{IdentityOf(st), {}};
    // One byte more than its size, so that the read which finds the end
    // needs no larger buffer (and no copy of a large file into it).
    snap.bytes.resize(static_cast<std::size_t>(st.st_size) + 1);
    std::size_t got = 0;
    for (;;) {
        if (got == snap.bytes.size()) {
            snap.bytes.resize(snap.bytes.size() + 4096); // the file may have grown
        }
        const ssize_t n = ::read(fd->Get(), snap.bytes.data() + got, snap.bytes.size() - got);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            ThrowFileError(errno, path);
        }
        if (n == 0) {
            break;
        }
        got += static_cast<std::size_t>(n);
    }
    snap.bytes.resize(got);
    return snap;
}

FileIdentity ReplaceFileAtomically(const fs::path& requested, std::string_view contents) {
    fs::path path = requested;
    const detail::GuardedPath where = detail::LocateGuarded(requested);
    std::error_code ec;
    if ((!where.Guarded() || where.TopLevel()) &&
        fs::is_symlink(fs::symlink_status(requested, ec))) {
        // A profile file may be a link to one elsewhere: written through it.
        const fs::path resolved = fs::weakly_canonical(requested, ec);
        if (!ec) {
            path = resolved;
        }
    }
    const Parent p = OpenParent(path);
    struct stat old {};
    const bool existed = ::fstatat(p.folder.Get(), p.leaf.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0;
    if (existed && S_ISLNK(old.st_mode) && p.guarded && !p.topLevel) {
        ThrowFileError(ELOOP, path, kSymlinkInside);
    }
    if (existed && S_ISDIR(old.st_mode)) {
        ThrowFileError(EISDIR, path);
    }
    if (existed && !S_ISREG(old.st_mode) && !S_ISLNK(old.st_mode)) {
        ThrowFileError(EINVAL, path, kNotRegular);
    }
    // The rename would go through a read-only file, since only the folder's
    // mode counts for it; a file without any write bit is read-only for
    // everybody, root included, as the read-only attribute is elsewhere.
    if (existed && S_ISREG(old.st_mode) &&
        ((old.st_mode & 0222) == 0 || ::faccessat(p.folder.Get(), p.leaf.c_str(), W_OK, 0) != 0)) {
        ThrowFileError(EACCES, path);
    }
    RemoveStaleTemporaries(p);

    static std::atomic<unsigned> counter{0};
    std::string temp;
    Fd fd;
    for (int attempt = 0; attempt < 100 && !fd.Valid(); ++attempt) {
        temp = TempPrefix(p.leaf) + std::to_string(::getpid()) + "-" + std::to_string(counter++);
        fd = Fd(::openat(p.folder.Get(), temp.c_str(),
                         O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666));
        if (!fd.Valid() && errno != EEXIST) {
            ThrowFileError(errno, path);
        }
    }
    if (!fd.Valid()) {
        ThrowFileError(EEXIST, path);
    }
    auto fail = [&](int error) {
        fd.Reset();
        (void)::unlinkat(p.folder.Get(), temp.c_str(), 0);
        ThrowFileError(error, path);
    };
    if (!WriteAll(fd.Get(), contents)) {
        fail(errno);
    }
    if (existed && S_ISREG(old.st_mode)) {
        (void)::fchmod(fd.Get(), old.st_mode & 07777);
    }
    struct stat fresh {};
    if (::fsync(fd.Get()) != 0 || ::fstat(fd.Get(), &fresh) != 0) {
        fail(errno);
    }
    if (::close(fd.Release()) != 0) {
        fail(errno);
    }
    if (::renameat(p.folder.Get(), temp.c_str(), p.folder.Get(), p.leaf.c_str()) != 0) {
        fail(errno);
    }
    (void)::fsync(p.folder.Get()); // makes the rename itself durable
    return IdentityOf(fresh);
}

EntryKind KindOf(const fs::path& path) {
    struct stat st {};
    const detail::GuardedPath where = detail::LocateGuarded(path);
    if (!where.Guarded()) {
        return ::lstat(path.c_str(), &st) == 0 ? KindOfMode(st.st_mode) : EntryKind::Missing;
    }
    try {
        const Parent p = OpenParent(path);
        return ::fstatat(p.folder.Get(), p.leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0
                   ? KindOfMode(st.st_mode)
                   : EntryKind::Missing;
    } catch (const FileError& error) {
        // A link on the way: what lies behind it is not the tree's.
        return error.code().value() == ELOOP ? EntryKind::Link : EntryKind::Missing;
    }
}

std::vector<FolderEntry> ListFolder(const fs::path& folder) {
    Fd fd;
    const detail::GuardedPath where = detail::LocateGuarded(folder);
    if (!where.Guarded()) {
        fd = Fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!fd.Valid()) {
            const int error = errno;
            if (error == ENOENT) {
                return {};
            }
            ThrowFileError(error, folder,
                           error == ENOTDIR ? "it is not a folder" : detail::ErrnoText(error));
        }
    } else {
        Parent p;
        try {
            p = OpenParent(folder);
        } catch (const FileError& error) {
            if (Missing(error)) {
                return {};
            }
            throw;
        }
        fd = Fd(::openat(p.folder.Get(), p.leaf.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC |
                                                             O_NOFOLLOW));
        if (!fd.Valid()) {
            const int error = errno;
            if (error == ENOENT) {
                return {};
            }
            if (error == ENOTDIR || error == ELOOP) {
                detail::ThrowNotFolder(p.folder.Get(), p.leaf, folder, error);
            }
            ThrowFileError(error, folder);
        }
    }
    DIR* dir = ::fdopendir(fd.Get());
    if (!dir) {
        ThrowFileError(errno, folder);
    }
    fd.Release(); // the listing owns it now
    std::vector<FolderEntry> entries;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        FolderEntry found{fs::path(std::string(name)), EntryKind::Other};
        switch (entry->d_type) {
        case DT_REG:
            found.kind = EntryKind::File;
            break;
        case DT_DIR:
            found.kind = EntryKind::Folder;
            break;
        case DT_LNK:
            found.kind = EntryKind::Link;
            break;
        case DT_UNKNOWN: {
            struct stat st {};
            if (::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
                found.kind = KindOfMode(st.st_mode);
            }
            break;
        }
        default:
            break;
        }
        entries.push_back(std::move(found));
    }
    ::closedir(dir);
    return entries;
}

void MakeFolders(const fs::path& folder) {
    const detail::GuardedPath where = detail::LocateGuarded(folder);
    if (!where.Guarded()) {
        std::error_code ec;
        fs::create_directories(folder, ec);
        if (ec) {
            throw FileError(ec, folder, ec.message());
        }
        return;
    }
    Fd fd(::open(where.root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.Valid()) {
        ThrowFileError(errno, where.root);
    }
    fs::path shown = where.root;
    for (const fs::path& step : where.steps) {
        shown /= step;
        if (::mkdirat(fd.Get(), step.c_str(), 0777) != 0 && errno != EEXIST) {
            ThrowFileError(errno, shown);
        }
        fd = detail::OpenStep(fd.Get(), step, shown);
    }
}

bool RemoveEntry(const fs::path& path) {
    Parent p;
    try {
        p = OpenParent(path);
    } catch (const FileError& error) {
        if (Missing(error)) {
            return false;
        }
        throw;
    }
    struct stat st {};
    if (::fstatat(p.folder.Get(), p.leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT) {
            return false;
        }
        ThrowFileError(errno, path);
    }
    const bool folder = S_ISDIR(st.st_mode);
    if (::unlinkat(p.folder.Get(), p.leaf.c_str(), folder ? AT_REMOVEDIR : 0) == 0) {
        return true;
    }
    const int error = errno;
    if (error == ENOENT || (folder && (error == ENOTEMPTY || error == EEXIST))) {
        return false;
    }
    ThrowFileError(error, path);
}

void CopyNewFile(const fs::path& source, const fs::path& dest) {
    struct stat st {};
    const auto in = OpenRegularFile(source, st);
    if (!in) {
        ThrowFileError(ENOENT, source);
    }
    const Parent p = OpenParent(dest);
    Fd out(::openat(p.folder.Get(), p.leaf.c_str(),
                    O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (!out.Valid()) {
        ThrowFileError(errno, dest);
    }
    // Nothing half-copied stays behind.
    auto fail = [&](int error, const fs::path& which) {
        out.Reset();
        (void)::unlinkat(p.folder.Get(), p.leaf.c_str(), 0);
        ThrowFileError(error, which);
    };
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(in->Get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            fail(errno, source);
        }
        if (n == 0) {
            break;
        }
        if (!WriteAll(out.Get(), std::string_view(buffer, static_cast<std::size_t>(n)))) {
            fail(errno, dest);
        }
    }
    (void)::fchmod(out.Get(), st.st_mode & 0777);
    if (::fsync(out.Get()) != 0) {
        fail(errno, dest);
    }
    if (::close(out.Release()) != 0) {
        fail(errno, dest);
    }
}

GrowingFile::~GrowingFile() {
    Close();
}

void GrowingFile::Create(const fs::path& path) {
    Close();
    const Parent p = OpenParent(path);
    const int fd = ::openat(p.folder.Get(), p.leaf.c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_APPEND, 0666);
    if (fd < 0) {
        ThrowFileError(errno, path);
    }
    handle_ = fd;
    path_ = path;
}

void GrowingFile::Append(std::string_view bytes) {
    if (handle_ == -1) {
        ThrowFileError(EBADF, path_);
    }
    if (!WriteAll(static_cast<int>(handle_), bytes)) {
        ThrowFileError(errno, path_);
    }
}

void GrowingFile::Close() {
    if (handle_ != -1) {
        ::close(static_cast<int>(handle_));
        handle_ = -1;
    }
}

} // namespace korvane

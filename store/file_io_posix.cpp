#include "store/file_io_posix.h"
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
using detail::WriteAll;

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

void ThrowNotFolder(int folder, const fs::path& step, const fs::path& shown, int error) {
    struct stat st {};
    if (::fstatat(folder, step.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode)) {
        ThrowFileError(ELOOP, shown, kSymlinkInside);
    }
    if (error == ENOTDIR) {
        ThrowFileError(ENOTDIR, shown, "it is not a folder");
    }
    ThrowFileError(error, shown);
}

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

EntryKind KindOfMode(mode_t mode) {
    return S_ISREG(mode)   ? EntryKind::File
           : S_ISDIR(mode) ? EntryKind::Folder
           : S_ISLNK(mode) ? EntryKind::Link
                           : EntryKind::Other;
}

bool IsMissing(const FileError& error) {
    return error.code().value() == ENOENT;
}

std::optional<Fd> OpenRegularFile(const fs::path& path, struct stat& st) {
    constexpr int kReadFlags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
    const GuardedPath where = LocateGuarded(path);
    Fd fd;
    if (!where.Guarded() || where.TopLevel()) {
        fd = Fd(::open(path.c_str(), kReadFlags));
    } else {
        Parent p;
        try {
            p = OpenParent(path);
        } catch (const FileError& error) {
            if (IsMissing(error)) {
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

} // namespace detail

namespace {

FileIdentity IdentityOf(const struct stat& st) {
    return FileIdentity{
        static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
        static_cast<std::int64_t>(st.st_size),
        static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
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
    const auto fd = detail::OpenRegularFile(path, st);
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

} // namespace korvane

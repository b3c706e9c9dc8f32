// The file layer's folders on POSIX: what is at a path, listings, folders
// made and entries removed, copies and growing files, none of them ever
// following a link below a guarded folder.
#include "store/file_io.h"
#include "store/file_io_detail.h"
#include "store/file_io_posix.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

namespace korvane {

using namespace detail;

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
                           error == ENOTDIR ? "it is not a folder" : ErrnoText(error));
        }
    } else {
        Parent p;
        try {
            p = OpenParent(folder);
        } catch (const FileError& error) {
            if (IsMissing(error)) {
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
                ThrowNotFolder(p.folder.Get(), p.leaf, folder, error);
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
        fd = OpenStep(fd.Get(), step, shown);
    }
}

bool RemoveEntry(const fs::path& path) {
    Parent p;
    try {
        p = OpenParent(path);
    } catch (const FileError& error) {
        if (IsMissing(error)) {
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

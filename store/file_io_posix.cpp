#include "store/file_io.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

namespace korvane {

namespace {

FileIdentity IdentityOf(const struct stat& st) {
    return FileIdentity{
        static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
        static_cast<std::int64_t>(st.st_size),
        static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

class Fd {
  public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

  private:
    int fd_;
};

[[noreturn]] void ThrowErrno(const std::string& what) {
    throw std::system_error(errno, std::generic_category(), what);
}

std::string TempPrefix(const fs::path& target) {
    return "." + target.filename().string() + ".tmp-";
}

// Temporaries are only alive while their writer holds the folder lock, so any
// one found under the lock was left by a writer that died.
void RemoveStaleTemporaries(const fs::path& target) {
    const std::string prefix = TempPrefix(target);
    std::error_code ec;
    for (fs::directory_iterator it(target.parent_path(), ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.starts_with(prefix)) {
            fs::remove(it->path(), ec);
            ec.clear();
        }
    }
}

} // namespace

std::optional<FileIdentity> IdentifyFile(const fs::path& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return std::nullopt;
    }
    return IdentityOf(st);
}

std::optional<FileSnapshot> ReadFileSnapshot(const fs::path& path) {
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return std::nullopt;
        }
        ThrowErrno(path.string());
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        ThrowErrno(path.string());
    }
    if (!S_ISREG(st.st_mode)) {
        errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        ThrowErrno(path.string());
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
        const ssize_t n = ::read(fd.get(), snap.bytes.data() + got, snap.bytes.size() - got);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            ThrowErrno(path.string());
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
    // Write through a symbolic link to the file it names rather than replacing the link.
    fs::path path = requested;
    std::error_code ec;
    if (fs::is_symlink(fs::symlink_status(requested, ec))) {
        const fs::path resolved = fs::weakly_canonical(requested, ec);
        if (!ec) {
            path = resolved;
        }
    }
    struct stat old {};
    const bool existed = ::stat(path.c_str(), &old) == 0;
    if (existed && S_ISDIR(old.st_mode)) {
        errno = EISDIR;
        ThrowErrno(path.string());
    }
    // The rename would go through a read-only file, since only the folder's
    // mode counts for it; a file without any write bit is read-only for
    // everybody, root included, as the read-only attribute is elsewhere.
    if (existed && ((old.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0)) {
        errno = EACCES;
        ThrowErrno(path.string());
    }
    RemoveStaleTemporaries(path);

    static std::atomic<unsigned> counter{0};
    fs::path temp;
    int raw = -1;
    for (int attempt = 0; attempt < 100 && raw < 0; ++attempt) {
        temp = path.parent_path() /
               (TempPrefix(path) + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        raw = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (raw < 0 && errno != EEXIST) {
            ThrowErrno(path.string());
        }
    }
    if (raw < 0) {
        ThrowErrno(path.string());
    }
    Fd fd(raw);
    auto fail = [&]() {
        const int saved = errno;
        ::unlink(temp.c_str());
        errno = saved;
        ThrowErrno(path.string());
    };
    std::size_t done = 0;
    while (done < contents.size()) {
        const ssize_t n = ::write(fd.get(), contents.data() + done, contents.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            if (n == 0) {
                errno = ENOSPC;
            }
            fail();
        }
        done += static_cast<std::size_t>(n);
    }
    if (existed) {
        (void)::fchmod(fd.get(), old.st_mode & 07777);
    }
    struct stat fresh {};
    if (::fsync(fd.get()) != 0 || ::fstat(fd.get(), &fresh) != 0) {
        fail();
    }
    if (::close(fd.release()) != 0) {
        fail();
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        fail();
    }
    // Make the rename itself durable.
    Fd dir(::open(path.parent_path().empty() ? "." : path.parent_path().c_str(),
                  O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0) {
        (void)::fsync(dir.get());
    }
    return IdentityOf(fresh);
}

FolderLock::FolderLock(const fs::path& folder) {
    const int fd =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return;
    }
    handle_ = fd;
    while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
    }
}

FolderLock::~FolderLock() {
    if (handle_ >= 0) {
        ::close(static_cast<int>(handle_)); // releases the lock
    }
}

} // namespace korvane

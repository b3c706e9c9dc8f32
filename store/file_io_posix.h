#pragma once

// What the file layer's POSIX files share: a descriptor closed when it
// goes, and the walk to a path's folder that never follows a link below a
// guarded folder.

#include "store/file_io.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace korvane::detail {

class Fd {
  public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() { Reset(); }
    Fd(Fd&& other) noexcept : fd_(other.Release()) {}
    Fd& operator=(Fd&& other) noexcept {
        if (this != &other) {
            Reset(other.Release());
        }
        return *this;
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    int Release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void Reset(int fd = -1) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = fd;
    }

  private:
    int fd_ = -1;
};

// The reason for an errno, in the system's words.
std::string ErrnoText(int error);

[[noreturn]] void ThrowFileError(int error, const std::filesystem::path& path);
[[noreturn]] void ThrowFileError(int error, const std::filesystem::path& path,
                                 const std::string& reason);

// The folder that holds a path's last step, opened, and that step. Below a
// guarded folder every folder on the way is opened without following a link:
// one found there throws FileError (kSymlinkInside). Throws FileError with
// ENOENT when a folder on the way is missing.
struct Parent {
    Fd folder;
    std::filesystem::path leaf;
    bool guarded = false;  // the last step is never followed
    bool topLevel = false; // directly in the guarded folder
};
Parent OpenParent(const std::filesystem::path& path);

inline constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

// Why a folder on the way that exists could not be opened as one: a link
// (kSymlinkInside), no folder, or the system's reason.
[[noreturn]] void ThrowNotFolder(int folder, const std::filesystem::path& step,
                                 const std::filesystem::path& shown, int error);
// One step further down from folder, never through a link.
Fd OpenStep(int folder, const std::filesystem::path& step, const std::filesystem::path& shown);

EntryKind KindOfMode(mode_t mode);
bool IsMissing(const FileError& error);

// The regular file at path, opened for reading without ever blocking; none
// when there is no file there. Throws FileError for anything else.
std::optional<Fd> OpenRegularFile(const std::filesystem::path& path, struct stat& st);

// Writes all of bytes; false with errno set when it cannot.
bool WriteAll(int fd, std::string_view bytes);

} // namespace korvane::detail

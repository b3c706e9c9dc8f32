#pragma once

// A file descriptor closed when it goes, and the walk to a path's folder
// that never follows a link below a guarded folder.

#include "store/file_io.h"

#include <cerrno>
#include <filesystem>
#include <string>
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

} // namespace korvane::detail

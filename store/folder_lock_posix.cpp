#include "store/file_io_posix.h"
#include "store/file_io.h"
#include "store/file_io_detail.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace korvane {

namespace {

// The folders this thread holds the lock of, each with its inner takers: a
// second flock of the same folder from one process would wait for itself.
struct HeldLock {
    std::uint64_t device;
    std::uint64_t inode;
    int inner;
};
thread_local std::vector<HeldLock> heldLocks;

HeldLock* FindHeld(std::uint64_t device, std::uint64_t inode) {
    for (HeldLock& held : heldLocks) {
        if (held.device == device && held.inode == inode) {
            return &held;
        }
    }
    return nullptr;
}

bool Busy(int error) {
    return error == EWOULDBLOCK || error == EINTR;
}

} // namespace

FolderLock::FolderLock(const fs::path& folder, Wait wait) {
    detail::Fd fd(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct stat st {};
    if (!fd.Valid() || ::fstat(fd.Get(), &st) != 0) {
        return;
    }
    device_ = static_cast<std::uint64_t>(st.st_dev);
    inode_ = static_cast<std::uint64_t>(st.st_ino);
    if (HeldLock* held = FindHeld(device_, inode_)) {
        ++held->inner;
        inner_ = true;
        return;
    }
    bool locked = ::flock(fd.Get(), LOCK_EX | LOCK_NB) == 0;
    if (!locked && Busy(errno) && wait == Wait::UntilHad) {
        // Another process is writing: waited for, and said so after a while.
        bool told = false;
        for (int waited = 0;; waited += 20) {
            locked = ::flock(fd.Get(), LOCK_EX | LOCK_NB) == 0;
            if (locked || !Busy(errno)) {
                break;
            }
            if (!told && waited >= detail::kLockNoticeMs) {
                told = true;
                detail::NoteLockWait(true);
            }
            ::usleep(20 * 1000);
        }
        if (told) {
            detail::NoteLockWait(false);
        }
    }
    if (!locked) {
        return;
    }
    handle_ = fd.Release();
    heldLocks.push_back({device_, inode_, 0});
}

FolderLock::~FolderLock() {
    if (inner_) {
        if (HeldLock* held = FindHeld(device_, inode_)) {
            --held->inner;
        }
        return;
    }
    if (handle_ != -1) {
        for (auto it = heldLocks.begin(); it != heldLocks.end(); ++it) {
            if (it->device == device_ && it->inode == inode_) {
                heldLocks.erase(it);
                break;
            }
        }
        ::close(static_cast<int>(handle_)); // releases the lock
    }
}

} // namespace korvane

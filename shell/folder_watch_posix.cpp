// The folder watch on inotify.
#include "shell/folder_watch.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace korvane {

namespace {

constexpr std::uint32_t kTreeEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                      IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
// The folder above the tree is watched only for the tree appearing or going.
constexpr std::uint32_t kParentEvents =
    IN_CREATE | IN_MOVED_TO | IN_DELETE | IN_MOVED_FROM | IN_ONLYDIR;
constexpr int kFoldMs = 50;

} // namespace

class FolderWatch::Impl {
  public:
    Impl(fs::path folder, std::optional<fs::path> subtree, std::function<void()> onChange,
         std::function<void(const std::string&)> onError)
        : folder_(folder.lexically_normal()), onChange_(std::move(onChange)),
          onError_(std::move(onError)) {
        if (subtree) {
            narrowTo_ = Normal(*subtree);
        }
        if (!folder_.has_filename()) {
            folder_ = folder_.parent_path(); // "Shortcuts/" names the folder itself
        }
        inotify_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        wake_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        if (inotify_ < 0 || wake_ < 0) {
            Fail(std::string("The Shortcuts folder cannot be watched: ") + std::strerror(errno));
            return;
        }
        worker_ = std::thread([this] { Run(); });
    }

    ~Impl() {
        stop_ = true;
        Wake();
        if (worker_.joinable()) {
            worker_.join();
        }
        if (inotify_ >= 0) {
            ::close(inotify_);
        }
        if (wake_ >= 0) {
            ::close(wake_);
        }
    }

    void Narrow(const fs::path& subtree) {
        {
            const std::lock_guard lock(mutex_);
            narrowTo_ = Normal(subtree);
        }
        Wake();
    }

    // "Shortcuts/12/" names the folder "Shortcuts/12".
    static fs::path Normal(fs::path folder) {
        folder = folder.lexically_normal();
        return !folder.empty() && !folder.has_filename() ? folder.parent_path() : folder;
    }

    void Wake() {
        if (wake_ >= 0) {
            const std::uint64_t one = 1;
            (void)!::write(wake_, &one, sizeof one);
        }
    }

  private:
    // Whether a folder of the tree is one to watch.
    bool Wanted(const fs::path& dir) const {
        if (!narrow_ || dir == folder_) {
            return true;
        }
        if (narrow_->empty()) {
            return false;
        }
        // The subtree, and the folders on the way to it, which tell of it
        // being made.
        const std::string inside = narrow_->string() + "/";
        return dir == *narrow_ || dir.string().starts_with(inside) ||
               narrow_->string().starts_with(dir.string() + "/");
    }

    // The watches again, as narrowing asks: the tree's own folder stays.
    void ApplyNarrowing() {
        std::optional<fs::path> wanted;
        {
            const std::lock_guard lock(mutex_);
            if (!narrowTo_) {
                return;
            }
            wanted = std::move(narrowTo_);
            narrowTo_.reset();
        }
        if (narrow_ && *narrow_ == *wanted) {
            return;
        }
        narrow_ = std::move(wanted);
        for (auto it = dirs_.begin(); it != dirs_.end();) {
            if (!Wanted(it->second)) {
                (void)::inotify_rm_watch(inotify_, it->first);
                it = dirs_.erase(it);
            } else {
                ++it;
            }
        }
        std::error_code ec;
        if (!narrow_->empty() && fs::is_directory(*narrow_, ec)) {
            AddTree(*narrow_);
        }
    }

    void Fail(const std::string& message) {
        // Reported once; the program goes on without (part of) the watch.
        if (!failed_.exchange(true) && onError_) {
            onError_(message);
        }
    }

    void AddTree(const fs::path& dir) {
        if (!Wanted(dir)) {
            return;
        }
        const int wd = ::inotify_add_watch(inotify_, dir.c_str(), kTreeEvents);
        if (wd < 0) {
            if (errno == ENOSPC || errno == ENOMEM) {
                Fail("The Shortcuts folder cannot be watched: the system's limit of inotify "
                     "watches is reached; the item list will not follow changes on disk");
            }
            return;
        }
        dirs_[wd] = dir;
        std::error_code ec;
        for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
            if (it->is_directory(ec) && !it->is_symlink(ec)) {
                AddTree(it->path());
            }
        }
    }

    // Stops watching a folder that has left the tree, with everything below it.
    void RemoveTree(const fs::path& dir) {
        const std::string prefix = dir.string() + "/";
        for (auto it = dirs_.begin(); it != dirs_.end();) {
            if (it->second == dir || it->second.string().starts_with(prefix)) {
                (void)::inotify_rm_watch(inotify_, it->first);
                it = dirs_.erase(it);
            } else {
                ++it;
            }
        }
    }

    void Arm() {
        if (parentWd_ < 0) {
            parentWd_ = ::inotify_add_watch(inotify_, folder_.parent_path().c_str(), kParentEvents);
        }
        std::error_code ec;
        if (fs::is_directory(folder_, ec)) {
            AddTree(folder_);
        }
    }

    // Reads what is queued; true when something of interest happened.
    bool Drain() {
        alignas(inotify_event) char buffer[16384];
        bool changed = false;
        for (;;) {
            const ssize_t n = ::read(inotify_, buffer, sizeof buffer);
            if (n <= 0) {
                break;
            }
            for (ssize_t off = 0; off < n;) {
                const auto* ev = reinterpret_cast<const inotify_event*>(buffer + off);
                off += static_cast<ssize_t>(sizeof(inotify_event) + ev->len);
                changed = Handle(*ev) || changed;
            }
        }
        return changed;
    }

    bool Handle(const inotify_event& ev) {
        if (ev.mask & IN_Q_OVERFLOW) {
            return true;
        }
        if (ev.wd == parentWd_) {
            const std::string name = ev.len ? ev.name : "";
            if (name != folder_.filename().string()) {
                return false;
            }
            if (ev.mask & IN_MOVED_FROM) {
                RemoveTree(folder_); // the whole tree was moved away
            }
            if (ev.mask & (IN_CREATE | IN_MOVED_TO)) {
                AddTree(folder_);
            }
            return true;
        }
        if (ev.mask & IN_IGNORED) {
            dirs_.erase(ev.wd); // the folder is gone, and so is its watch
            return false;
        }
        const auto it = dirs_.find(ev.wd);
        if (it == dirs_.end()) {
            return false;
        }
        if ((ev.mask & IN_ISDIR) && (ev.mask & IN_MOVED_FROM) && ev.len) {
            // Moved out of the tree (to the trash, say), or renamed inside
            // it, when a MOVED_TO for its new name follows and watches it again.
            RemoveTree(it->second / ev.name);
        }
        if ((ev.mask & IN_ISDIR) && (ev.mask & (IN_CREATE | IN_MOVED_TO)) && ev.len) {
            AddTree(it->second / ev.name);
        }
        return (ev.mask & (IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF |
                           IN_MOVE_SELF)) != 0;
    }

    void Run() {
        {
            // Narrowed before the worker began: the first walk is narrow too.
            const std::lock_guard lock(mutex_);
            if (narrowTo_) {
                narrow_ = std::move(narrowTo_);
                narrowTo_.reset();
            }
        }
        Arm();
        pollfd fds[2] = {{inotify_, POLLIN, 0}, {wake_, POLLIN, 0}};
        bool pending = false;
        while (!stop_) {
            // While changes keep coming, wait for a quiet spell before
            // reporting them all as one.
            const int n = ::poll(fds, 2, pending ? kFoldMs : -1);
            if (n < 0 && errno != EINTR) {
                return;
            }
            if (stop_) {
                return;
            }
            if (n == 0 && pending) {
                pending = false;
                onChange_();
                continue;
            }
            if (fds[1].revents & POLLIN) {
                std::uint64_t count = 0;
                (void)!::read(wake_, &count, sizeof count);
                ApplyNarrowing();
            }
            if (fds[0].revents & POLLIN) {
                pending = Drain() || pending;
            }
        }
    }

    fs::path folder_;
    std::function<void()> onChange_;
    std::function<void(const std::string&)> onError_;
    int inotify_ = -1;
    int wake_ = -1;
    int parentWd_ = -1;
    std::map<int, fs::path> dirs_;   // worker thread only
    std::optional<fs::path> narrow_; // worker thread only; none: the whole tree
    std::mutex mutex_;
    std::optional<fs::path> narrowTo_; // asked for, not yet applied
    std::atomic<bool> stop_{false};
    std::atomic<bool> failed_{false};
    std::thread worker_;
};

FolderWatch::FolderWatch(fs::path folder, std::function<void()> onChange,
                         std::function<void(const std::string&)> onError)
    : impl_(std::make_unique<Impl>(std::move(folder), std::nullopt, std::move(onChange),
                                   std::move(onError))) {}

FolderWatch::FolderWatch(fs::path folder, const fs::path& subtree, std::function<void()> onChange,
                         std::function<void(const std::string&)> onError)
    : impl_(std::make_unique<Impl>(std::move(folder), subtree, std::move(onChange),
                                   std::move(onError))) {}

FolderWatch::~FolderWatch() = default;

void FolderWatch::Narrow(const fs::path& subtree) {
    impl_->Narrow(subtree);
}

} // namespace korvane

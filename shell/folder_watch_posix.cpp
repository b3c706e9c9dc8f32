// The folder watch on inotify.
#include "shell/folder_watch.h"

#include "shell/folder_watch_faults.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
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
#include <utility>

namespace fs = std::filesystem;

namespace korvane {

namespace {

constexpr std::uint32_t kTreeEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                      IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
// The folder above the tree is watched only for the tree appearing or going.
constexpr std::uint32_t kParentEvents =
    IN_CREATE | IN_MOVED_TO | IN_DELETE | IN_MOVED_FROM | IN_ONLYDIR;
constexpr int kFoldMs = 50;
// While inotify cannot be set up again, it is tried this often.
constexpr std::chrono::milliseconds kRetryEvery{1000};

using Faults = detail::FolderWatchFaults;

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
        // The worker makes the inotify instance (and makes it again should it fail).
        wake_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        if (wake_ < 0) {
            Fail(std::string("The Shortcuts folder cannot be watched: ") + std::strerror(errno));
            return;
        }
        worker_ = std::thread([this] { Run(); });
    }

    ~Impl() {
        {
            // Under the lock: a worker about to pause cannot miss it.
            const std::lock_guard lock(mutex_);
            stop_ = true;
        }
        stopped_.notify_all();
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

    void Inject(Faults& faults) {
        faults_ = &faults;
        Wake();
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

    // Takes in the narrowing asked for, if any; true when it changes what
    // is wanted.
    bool TakeNarrowing() {
        std::optional<fs::path> wanted;
        {
            const std::lock_guard lock(mutex_);
            if (!narrowTo_) {
                return false;
            }
            wanted = std::move(narrowTo_);
            narrowTo_.reset();
        }
        if (narrow_ && *narrow_ == *wanted) {
            return false;
        }
        narrow_ = std::move(wanted);
        return true;
    }

    // The watches again, as narrowing asks: the tree's own folder stays.
    void ApplyNarrowing() {
        if (!TakeNarrowing()) {
            return;
        }
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

    // After an overflow any folder may have been made, removed or renamed
    // unseen. Every wanted folder is watched again (one watched already
    // keeps its watch, under its present name), and the watches the walk did
    // not come to are dropped.
    void Rescan() {
        std::map<int, fs::path> before;
        before.swap(dirs_);
        const int parentBefore = std::exchange(parentWd_, -1);
        Arm();
        if (parentBefore >= 0 && parentBefore != parentWd_) {
            (void)::inotify_rm_watch(inotify_, parentBefore);
        }
        for (const auto& [wd, dir] : before) {
            if (!dirs_.contains(wd)) {
                (void)::inotify_rm_watch(inotify_, wd);
            }
        }
    }

    // Makes the inotify instance and watches every wanted folder with it;
    // while that fails, says so and tries again now and then. False when
    // the watch is stopped first.
    bool Start() {
        for (;;) {
            inotify_ = NewInstance();
            if (inotify_ >= 0) {
                break;
            }
            Fail(std::string("The Shortcuts folder cannot be watched: ") + std::strerror(errno));
            if (!Pause()) {
                return false;
            }
        }
        healthy_ = false;
        TakeNarrowing(); // narrowed before the walk: the walk is narrow too
        Arm();
        return true;
    }

    // The instance failed: a new one in its place, watching what the old one
    // did. One that fails again at once is replaced only after a pause, so
    // that a lasting failure costs no CPU.
    bool Restart() {
        ::close(inotify_);
        inotify_ = -1;
        parentWd_ = -1;
        dirs_.clear();
        if (!healthy_ && !Pause()) {
            return false;
        }
        return Start();
    }

    // Waits before trying again; false when the watch is stopped meanwhile.
    bool Pause() {
        std::unique_lock lock(mutex_);
        return !stopped_.wait_for(lock, RetryEvery(), [this] { return stop_.load(); });
    }

    enum class Drained { Nothing, Changes, Broken };

    // Reads what is queued.
    Drained Drain() {
        alignas(inotify_event) char buffer[16384];
        bool changed = false;
        // A test's overflow ends only once all queued before it is lost.
        const bool overflowEnds = Is(Faults::Loss::Overflowed);
        for (;;) {
            const ssize_t n = Read(buffer, sizeof buffer);
            if (n < 0 && errno != EAGAIN && errno != EINTR) {
                return Drained::Broken;
            }
            if (n <= 0) {
                break;
            }
            if (Is(Faults::Loss::Losing) || Is(Faults::Loss::Overflowed)) {
                continue; // lost, as to a full queue
            }
            for (ssize_t off = 0; off < n;) {
                const auto* ev = reinterpret_cast<const inotify_event*>(buffer + off);
                off += static_cast<ssize_t>(sizeof(inotify_event) + ev->len);
                changed = Handle(*ev) || changed;
            }
        }
        if (overflowEnds && EndInjectedOverflow()) {
            inotify_event overflow{};
            overflow.wd = -1;
            overflow.mask = IN_Q_OVERFLOW;
            changed = Handle(overflow) || changed;
        }
        return changed ? Drained::Changes : Drained::Nothing;
    }

    bool Handle(const inotify_event& ev) {
        if (ev.mask & IN_Q_OVERFLOW) {
            Rescan();
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
        if (!Start()) {
            return;
        }
        healthy_ = true; // the first instance, should it fail, is replaced at once
        bool pending = false;
        while (!stop_) {
            // While changes keep coming, wait for a quiet spell before
            // reporting them all as one.
            pollfd fds[2] = {{inotify_, POLLIN, 0}, {wake_, POLLIN, 0}};
            const int n = Poll(fds, pending ? kFoldMs : -1);
            const bool failed = n < 0 && errno != EINTR;
            if (stop_) {
                return;
            }
            bool broken = failed || (fds[0].revents & (POLLERR | POLLNVAL)) != 0;
            if (!broken && n == 0) {
                pending = false;
                onChange_();
            }
            if (!broken && (fds[1].revents & POLLIN)) {
                std::uint64_t count = 0;
                (void)!::read(wake_, &count, sizeof count);
                ApplyNarrowing();
            }
            if (!broken && ((fds[0].revents & POLLIN) || Is(Faults::Loss::Overflowed))) {
                const Drained drained = Drain();
                broken = drained == Drained::Broken;
                pending = drained == Drained::Changes || pending;
            }
            if (broken) {
                if (!Restart()) {
                    return;
                }
                pending = true; // whatever happened meanwhile went unseen
            } else {
                healthy_ = true;
            }
        }
    }

    // The calls on the inotify instance, which a test's faults may stand in for.
    int NewInstance() {
        Faults* const faults = faults_;
        if (faults) {
            ++faults->starts;
            if (faults->failingStarts > 0) {
                --faults->failingStarts;
                errno = EMFILE;
                return -1;
            }
        }
        const int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (faults && fd >= 0) {
            faults->broken = Faults::Break::None;
        }
        return fd;
    }
    int Poll(pollfd (&fds)[2], int timeout) {
        if (Is(Faults::Break::Poll)) {
            errno = ENOMEM;
            return -1;
        }
        return ::poll(fds, 2, timeout);
    }
    ssize_t Read(void* buffer, std::size_t size) {
        if (Is(Faults::Break::Read)) {
            errno = EIO;
            return -1;
        }
        return ::read(inotify_, buffer, size);
    }
    bool Is(Faults::Loss loss) const {
        const Faults* const faults = faults_;
        return faults && faults->loss == loss;
    }
    bool Is(Faults::Break way) const {
        const Faults* const faults = faults_;
        return faults && faults->broken == way;
    }
    // True once, when a test's overflow ends.
    bool EndInjectedOverflow() {
        Faults* const faults = faults_;
        auto overflowed = Faults::Loss::Overflowed;
        return faults && faults->loss.compare_exchange_strong(overflowed, Faults::Loss::None);
    }
    std::chrono::milliseconds RetryEvery() const {
        const Faults* const faults = faults_;
        return faults ? faults->retryEvery : kRetryEvery;
    }

    fs::path folder_;
    std::function<void()> onChange_;
    std::function<void(const std::string&)> onError_;
    int inotify_ = -1;
    int wake_ = -1;
    int parentWd_ = -1;
    std::map<int, fs::path> dirs_;   // worker thread only
    std::optional<fs::path> narrow_; // worker thread only; none: the whole tree
    bool healthy_ = false;           // worker thread only: the instance has worked
    std::mutex mutex_;
    std::condition_variable stopped_;
    std::optional<fs::path> narrowTo_; // asked for, not yet applied
    std::atomic<bool> stop_{false};
    std::atomic<bool> failed_{false};
    std::atomic<Faults*> faults_{nullptr};
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

bool detail::FolderWatchFaults::Apply(FolderWatch& watch, FolderWatchFaults& faults) {
    watch.impl_->Inject(faults);
    return true;
}

} // namespace korvane

// Waiting for readiness on freedesktop systems: a process's end through a
// pidfd, a path through inotify, a port by connecting, a window through X11.
#include "shell/child_exit_posix.h"
#include "shell/readiness.h"
#include "shell/readiness_wait_posix.h"

#include <arpa/inet.h>
#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <netinet/in.h>
#include <pthread.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace korvane::shell {

namespace {

std::atomic<bool> gCancelled{false};
std::atomic<int> gCancelWrite{-1};
int gCancelRead = -1;
std::once_flag gPipeMade;

// Reapers write here until the process is gone, after every destructor:
// nothing of it has one.
pthread_mutex_t gExitsLock = PTHREAD_MUTEX_INITIALIZER;
pthread_cond_t gExitsChanged = PTHREAD_COND_INITIALIZER;
constexpr std::size_t kExitsKept = 256;
std::array<std::pair<pid_t, int>, kExitsKept> gExits{}; // a ring, pid 0 for none
std::size_t gExitsNext = 0;

} // namespace

void PrepareCancel() {
    std::call_once(gPipeMade, [] {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
            gCancelRead = fds[0];
            gCancelWrite = fds[1];
        }
    });
}

void CancelWaits() {
    gCancelled = true;
    if (const int fd = gCancelWrite.load(); fd >= 0) {
        const char byte = 1;
        (void)!::write(fd, &byte, 1);
    }
}

bool WaitsCancelled() {
    return gCancelled;
}

void ResumeWaits() {
    PrepareCancel();
    gCancelled = false;
    char drained[64];
    while (gCancelRead >= 0 && ::read(gCancelRead, drained, sizeof drained) > 0) {
    }
}

void NoteChildExit(pid_t pid, int waitStatus) {
    pthread_mutex_lock(&gExitsLock);
    gExits[gExitsNext] = {pid, waitStatus};
    gExitsNext = (gExitsNext + 1) % kExitsKept;
    pthread_cond_broadcast(&gExitsChanged);
    pthread_mutex_unlock(&gExitsLock);
}

std::optional<int> ChildExitStatus(pid_t pid, std::chrono::milliseconds patience) {
    timespec until{};
    ::clock_gettime(CLOCK_REALTIME, &until);
    const long long ns = until.tv_nsec + patience.count() * 1000000LL;
    until.tv_sec += static_cast<time_t>(ns / 1000000000LL);
    until.tv_nsec = static_cast<long>(ns % 1000000000LL);
    pthread_mutex_lock(&gExitsLock);
    std::optional<int> found;
    for (;;) {
        // The newest first: a number the system handed out again.
        for (std::size_t back = 1; back <= kExitsKept && !found; ++back) {
            const auto& [reaped, status] = gExits[(gExitsNext + kExitsKept - back) % kExitsKept];
            if (reaped == pid && pid != 0) {
                found = status;
            }
        }
        if (found || pthread_cond_timedwait(&gExitsChanged, &gExitsLock, &until) != 0) {
            break;
        }
    }
    pthread_mutex_unlock(&gExitsLock);
    return found;
}

Woke PollUntil(std::vector<pollfd>& fds, WaitClock::time_point until) {
    PrepareCancel();
    fds.push_back({gCancelRead, POLLIN, 0});
    for (;;) {
        if (gCancelled) {
            fds.pop_back();
            return Woke::Cancelled;
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - WaitClock::now());
        if (left.count() <= 0) {
            fds.pop_back();
            return Woke::Timeout;
        }
        for (pollfd& p : fds) {
            p.revents = 0;
        }
        const int n = ::poll(fds.data(), fds.size(),
                             static_cast<int>(std::min<long long>(left.count(), 1 << 30)));
        if (n > 0 && !gCancelled) {
            fds.pop_back();
            return Woke::Event;
        }
    }
}

bool SleepUnlessCancelled(std::chrono::milliseconds length) {
    std::vector<pollfd> none;
    return PollUntil(none, WaitClock::now() + length) != Woke::Cancelled;
}

std::string EndedWords(int waitStatus) {
    if (WIFEXITED(waitStatus)) {
        return "it ended with exit status " + std::to_string(WEXITSTATUS(waitStatus));
    }
    if (WIFSIGNALED(waitStatus)) {
        const char* name = ::sigabbrev_np(WTERMSIG(waitStatus));
        return "it was ended by signal " +
               (name ? "SIG" + std::string(name) : std::to_string(WTERMSIG(waitStatus)));
    }
    return "it ended";
}

namespace {

int OpenPidFd(long long pid) {
    return static_cast<int>(::syscall(SYS_pidfd_open, static_cast<pid_t>(pid), 0));
}

Readiness Ended(long long pid) {
    const auto process = static_cast<pid_t>(pid);
    std::optional<int> status = ChildExitStatus(process, {});
    siginfo_t info{};
    if (!status && ::waitid(P_PID, process, &info, WEXITED | WNOHANG | WNOWAIT) == 0) {
        // Our child, which its reaper is about to collect.
        status = ChildExitStatus(process, std::chrono::milliseconds(500));
    } else if (!status) {
        // Collected just now, or never ours (GIO's launches): no waiting.
        status = ChildExitStatus(process, {});
    }
    return {ReadyState::Ready, status ? EndedWords(*status) : "it ended"};
}

} // namespace

Readiness WaitForEnd(long long pid, WaitClock::time_point deadline) {
    if (pid <= 0) {
        return {ReadyState::CannotTell, "the system did not say which process it is"};
    }
    const int pidfd = OpenPidFd(pid);
    if (pidfd < 0) {
        if (errno == ESRCH) {
            return Ended(pid);
        }
        // A kernel without pidfds: look now and then.
        while (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM) {
            if (!SleepUnlessCancelled(std::chrono::milliseconds(50))) {
                return {ReadyState::Cancelled, ""};
            }
            if (WaitClock::now() >= deadline) {
                return {ReadyState::TimedOut, "it was still running"};
            }
        }
        return Ended(pid);
    }
    std::vector<pollfd> fds{{pidfd, POLLIN, 0}};
    const Woke woke = PollUntil(fds, deadline);
    ::close(pidfd);
    switch (woke) {
    case Woke::Event:
        return Ended(pid);
    case Woke::Cancelled:
        return {ReadyState::Cancelled, ""};
    case Woke::Timeout:
        break;
    }
    return {ReadyState::TimedOut, "it was still running"};
}

namespace {

fs::path ExpandHome(const std::string& target) {
    if (target.starts_with("~/")) {
        const char* home = std::getenv("HOME");
        return fs::path(home ? home : "/") / target.substr(2);
    }
    return target;
}

} // namespace

Readiness WaitForPath(const std::string& target, WaitClock::time_point deadline) {
    const fs::path path = ExpandHome(target);
    const int watcher = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    std::error_code ec;
    Readiness result{ReadyState::TimedOut, "it did not appear"};
    for (bool first = true;; first = false) {
        if (fs::exists(path, ec)) {
            result = {ReadyState::Ready, first ? "it was there" : "it appeared"};
            break;
        }
        // Told when something appears in the nearest folder that exists;
        // looked at again now and then for what inotify does not tell
        // (mounts, network file systems).
        fs::path nearest = path.parent_path();
        while (!nearest.empty() && nearest != nearest.root_path() && !fs::exists(nearest, ec)) {
            nearest = nearest.parent_path();
        }
        if (watcher >= 0 && !nearest.empty()) {
            (void)::inotify_add_watch(watcher, nearest.c_str(),
                                      IN_CREATE | IN_MOVED_TO | IN_ATTRIB | IN_DELETE_SELF |
                                          IN_MOVE_SELF | IN_ONLYDIR);
        }
        std::vector<pollfd> fds;
        if (watcher >= 0) {
            fds.push_back({watcher, POLLIN, 0});
        }
        const auto next = std::min(deadline, WaitClock::now() + std::chrono::milliseconds(250));
        const Woke woke = PollUntil(fds, next);
        if (woke == Woke::Cancelled) {
            result = {ReadyState::Cancelled, ""};
            break;
        }
        if (watcher >= 0) {
            char events[4096];
            while (::read(watcher, events, sizeof events) > 0) {
            }
        }
        if (woke == Woke::Timeout && WaitClock::now() >= deadline) {
            result.state = fs::exists(path, ec) ? ReadyState::Ready : ReadyState::TimedOut;
            result.how = result.state == ReadyState::Ready ? "it appeared" : "it did not appear";
            break;
        }
    }
    if (watcher >= 0) {
        ::close(watcher);
    }
    return result;
}

namespace {

// Whether something listens on the port of this machine, over IPv4 or IPv6.
bool Accepts(int port, int family) {
    const int s = ::socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (s < 0) {
        return false;
    }
    sockaddr_storage address{};
    socklen_t length = 0;
    if (family == AF_INET) {
        auto* in = reinterpret_cast<sockaddr_in*>(&address);
        in->sin_family = AF_INET;
        in->sin_port = htons(static_cast<std::uint16_t>(port));
        in->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        length = sizeof *in;
    } else {
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&address);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(static_cast<std::uint16_t>(port));
        in6->sin6_addr = in6addr_loopback;
        length = sizeof *in6;
    }
    bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&address), length) == 0;
    if (!ok && errno == EINPROGRESS) {
        pollfd p{s, POLLOUT, 0};
        int error = 0;
        socklen_t size = sizeof error;
        ok = ::poll(&p, 1, 200) == 1 && ::getsockopt(s, SOL_SOCKET, SO_ERROR, &error, &size) == 0 &&
             error == 0;
    }
    ::close(s);
    return ok;
}

} // namespace

Readiness WaitForPort(const std::string& target, WaitClock::time_point deadline) {
    const int port = std::atoi(target.c_str());
    for (;;) {
        if (Accepts(port, AF_INET) || Accepts(port, AF_INET6)) {
            return {ReadyState::Ready, "it took a connection"};
        }
        if (WaitClock::now() >= deadline) {
            return {ReadyState::TimedOut, "nothing took connections on it"};
        }
        // Connecting is the only way to know; a short step keeps the delay small.
        const auto next = std::min(deadline, WaitClock::now() + std::chrono::milliseconds(25));
        std::vector<pollfd> none;
        if (PollUntil(none, next) == Woke::Cancelled) {
            return {ReadyState::Cancelled, ""};
        }
    }
}

} // namespace korvane::shell

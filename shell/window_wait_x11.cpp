// Waiting for a program's window through X11 (also XWayland): libxcb is
// loaded only when an item waits for a window, so that a direct launch
// without such a wait maps nothing of X.
#include "shell/readiness_wait_posix.h"

#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <sys/syscall.h>
#include <unistd.h>
#include <xcb/xcb.h>

namespace korvane::shell {

namespace {

// The few libxcb calls a wait makes, found at run time.
struct Xcb {
    decltype(&xcb_connect) connect;
    decltype(&xcb_connection_has_error) has_error;
    decltype(&xcb_disconnect) disconnect;
    decltype(&xcb_get_setup) get_setup;
    decltype(&xcb_setup_roots_iterator) roots_iterator;
    decltype(&xcb_screen_next) screen_next;
    decltype(&xcb_get_file_descriptor) file_descriptor;
    decltype(&xcb_poll_for_event) poll_for_event;
    decltype(&xcb_flush) flush;
    decltype(&xcb_intern_atom) intern_atom;
    decltype(&xcb_intern_atom_reply) intern_atom_reply;
    decltype(&xcb_change_window_attributes) change_attributes;
    decltype(&xcb_get_window_attributes) get_attributes;
    decltype(&xcb_get_window_attributes_reply) get_attributes_reply;
    decltype(&xcb_get_property) get_property;
    decltype(&xcb_get_property_reply) get_property_reply;
    decltype(&xcb_get_property_value) property_value;
    decltype(&xcb_get_property_value_length) property_length;
    decltype(&xcb_query_tree) query_tree;
    decltype(&xcb_query_tree_reply) query_tree_reply;
    decltype(&xcb_query_tree_children) tree_children;
    decltype(&xcb_query_tree_children_length) tree_length;
};

const Xcb* LoadXcb() {
    static const std::optional<Xcb> xcb = []() -> std::optional<Xcb> {
        void* lib = ::dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL);
        if (!lib) {
            return std::nullopt;
        }
        Xcb x{};
        bool all = true;
        const auto find = [&](auto& fn, const char* name) {
            fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(::dlsym(lib, name));
            all = all && fn != nullptr;
        };
        find(x.connect, "xcb_connect");
        find(x.has_error, "xcb_connection_has_error");
        find(x.disconnect, "xcb_disconnect");
        find(x.get_setup, "xcb_get_setup");
        find(x.roots_iterator, "xcb_setup_roots_iterator");
        find(x.screen_next, "xcb_screen_next");
        find(x.file_descriptor, "xcb_get_file_descriptor");
        find(x.poll_for_event, "xcb_poll_for_event");
        find(x.flush, "xcb_flush");
        find(x.intern_atom, "xcb_intern_atom");
        find(x.intern_atom_reply, "xcb_intern_atom_reply");
        find(x.change_attributes, "xcb_change_window_attributes");
        find(x.get_attributes, "xcb_get_window_attributes");
        find(x.get_attributes_reply, "xcb_get_window_attributes_reply");
        find(x.get_property, "xcb_get_property");
        find(x.get_property_reply, "xcb_get_property_reply");
        find(x.property_value, "xcb_get_property_value");
        find(x.property_length, "xcb_get_property_value_length");
        find(x.query_tree, "xcb_query_tree");
        find(x.query_tree_reply, "xcb_query_tree_reply");
        find(x.tree_children, "xcb_query_tree_children");
        find(x.tree_length, "xcb_query_tree_children_length");
        if (!all) {
            return std::nullopt;
        }
        return x;
    }();
    return xcb ? &*xcb : nullptr;
}

struct FreeReply {
    void operator()(void* p) const { std::free(p); }
};
template <class T> using Reply = std::unique_ptr<T, FreeReply>;

long long ParentOf(long long pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    std::getline(stat, text);
    // "pid (name) state ppid ...": the name may hold anything, ")" too.
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos) {
        return 0;
    }
    std::istringstream rest(text.substr(close + 1));
    std::string state;
    long long parent = 0;
    rest >> state >> parent;
    return parent;
}

std::string FoldAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

std::string ExecutableOf(long long pid) {
    char buffer[4096];
    const std::string link = "/proc/" + std::to_string(pid) + "/exe";
    const ssize_t n = ::readlink(link.c_str(), buffer, sizeof buffer);
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

class WindowWatch {
  public:
    WindowWatch(const Xcb& x, long long pid, std::string windowClass)
        : x_(x), pid_(pid), exe_(pid > 0 ? ExecutableOf(pid) : ""),
          class_(FoldAscii(std::move(windowClass))) {}
    ~WindowWatch() {
        if (c_) {
            x_.disconnect(c_);
        }
    }
    WindowWatch(const WindowWatch&) = delete;
    WindowWatch& operator=(const WindowWatch&) = delete;

    std::optional<std::string> Connect() {
        int screen = 0;
        c_ = x_.connect(nullptr, &screen);
        if (x_.has_error(c_)) {
            return "the X display could not be reached";
        }
        auto it = x_.roots_iterator(x_.get_setup(c_));
        for (; screen > 0 && it.rem; --screen) {
            x_.screen_next(&it);
        }
        root_ = it.data->root;
        clientList_ = Atom("_NET_CLIENT_LIST");
        wmPid_ = Atom("_NET_WM_PID");
        const std::uint32_t mask =
            XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE;
        x_.change_attributes(c_, root_, XCB_CW_EVENT_MASK, &mask);
        x_.flush(c_);
        return std::nullopt;
    }

    Readiness Wait(WaitClock::time_point deadline) {
        const int pidfd = pid_ > 0 ? static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0)) : -1;
        ended_ = pidfd < 0;
        Readiness result{ReadyState::TimedOut, "no window of it appeared"};
        // What was mapped before we listened counts too.
        if (ScanAll()) {
            result = {ReadyState::Ready, "it appeared"};
        }
        while (result.state != ReadyState::Ready) {
            if (Drain()) {
                result = {ReadyState::Ready, "it appeared"};
                break;
            }
            if (x_.has_error(c_)) {
                result = {ReadyState::CannotTell, "the X display went away"};
                break;
            }
            std::vector<pollfd> fds{{x_.file_descriptor(c_), POLLIN, 0}};
            if (pidfd >= 0 && !ended_) {
                fds.push_back({pidfd, POLLIN, 0});
            }
            const Woke woke = PollUntil(fds, deadline);
            if (woke == Woke::Cancelled) {
                result = {ReadyState::Cancelled, ""};
                break;
            }
            if (woke == Woke::Timeout) {
                break;
            }
            if (fds.size() > 1 && fds[1].revents != 0 && !ended_) {
                // It ended without a window: it may have handed over to a
                // copy of itself that was running already.
                ended_ = true;
                if (ScanAll()) {
                    result = {ReadyState::Ready, "it handed over to a copy already open"};
                    break;
                }
            }
        }
        if (pidfd >= 0) {
            ::close(pidfd);
        }
        return result;
    }

  private:
    xcb_atom_t Atom(const char* name) {
        Reply<xcb_intern_atom_reply_t> r(x_.intern_atom_reply(
            c_, x_.intern_atom(c_, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
            nullptr));
        return r ? r->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
    }

    std::vector<xcb_window_t> Windows(xcb_window_t w, xcb_atom_t property) {
        Reply<xcb_get_property_reply_t> r(x_.get_property_reply(
            c_, x_.get_property(c_, 0, w, property, XCB_ATOM_WINDOW, 0, 4096), nullptr));
        if (!r || r->format != 32) {
            return {};
        }
        const auto* data = static_cast<const xcb_window_t*>(x_.property_value(r.get()));
        return {data, data + x_.property_length(r.get()) / 4};
    }

    std::vector<xcb_window_t> Children(xcb_window_t w) {
        Reply<xcb_query_tree_reply_t> r(x_.query_tree_reply(c_, x_.query_tree(c_, w), nullptr));
        if (!r) {
            return {};
        }
        const xcb_window_t* data = x_.tree_children(r.get());
        return {data, data + x_.tree_length(r.get())};
    }

    long long PidOf(xcb_window_t w) {
        Reply<xcb_get_property_reply_t> r(x_.get_property_reply(
            c_, x_.get_property(c_, 0, w, wmPid_, XCB_ATOM_CARDINAL, 0, 1), nullptr));
        if (!r || r->format != 32 || x_.property_length(r.get()) < 4) {
            return 0;
        }
        return *static_cast<const std::uint32_t*>(x_.property_value(r.get()));
    }

    bool Viewable(xcb_window_t w) {
        Reply<xcb_get_window_attributes_reply_t> r(
            x_.get_attributes_reply(c_, x_.get_attributes(c_, w), nullptr));
        return r && r->map_state == XCB_MAP_STATE_VIEWABLE;
    }

    // A window of the started process, one of its children's children, or
    // once it has ended, another process of the same program; or one of the
    // program's window class.
    bool Ours(xcb_window_t w) {
        return OursByProcess(PidOf(w)) || (!class_.empty() && HasClass(w));
    }

    // WM_CLASS holds "instance\0class\0"; either may name the program.
    bool HasClass(xcb_window_t w) {
        Reply<xcb_get_property_reply_t> r(x_.get_property_reply(
            c_, x_.get_property(c_, 0, w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 256), nullptr));
        if (!r || r->format != 8) {
            return false;
        }
        const char* data = static_cast<const char*>(x_.property_value(r.get()));
        std::istringstream names(
            std::string(data, static_cast<std::size_t>(x_.property_length(r.get()))));
        for (std::string name; std::getline(names, name, '\0');) {
            if (FoldAscii(name) == class_) {
                return true;
            }
        }
        return false;
    }

    bool OursByProcess(long long pid) {
        if (pid <= 0 || pid_ <= 0) {
            return false;
        }
        for (long long p = pid, depth = 0; p > 1 && depth < 64; p = ParentOf(p), ++depth) {
            if (p == pid_) {
                return true;
            }
        }
        return ended_ && !exe_.empty() && ExecutableOf(pid) == exe_;
    }

    // A window of ours that is on screen, at w or (for a window manager's
    // frame) below it.
    bool Check(xcb_window_t w, int depth) {
        if (!seen_.insert(w).second && !watched_.count(w)) {
            return false;
        }
        if (Ours(w)) {
            if (Viewable(w)) {
                return true;
            }
            if (watched_.insert(w).second) {
                // Told when it maps; its frame's mapping reaches us through the root.
                const std::uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
                x_.change_attributes(c_, w, XCB_CW_EVENT_MASK, &mask);
                x_.flush(c_);
            }
            return false;
        }
        if (depth < 2) {
            for (xcb_window_t child : Children(w)) {
                if (Check(child, depth + 1)) {
                    return true;
                }
            }
        }
        return false;
    }

    bool ScanAll() {
        seen_.clear();
        for (xcb_window_t w : Windows(root_, clientList_)) {
            if (Check(w, 2)) {
                return true;
            }
        }
        for (xcb_window_t w : Children(root_)) {
            if (Check(w, 0)) {
                return true;
            }
        }
        return false;
    }

    bool Drain() {
        bool found = false;
        while (xcb_generic_event_t* event = x_.poll_for_event(c_)) {
            const Reply<xcb_generic_event_t> owned(event);
            if (found) {
                continue;
            }
            switch (event->response_type & 0x7f) {
            case XCB_MAP_NOTIFY: {
                const auto* map = reinterpret_cast<const xcb_map_notify_event_t*>(event);
                if (watched_.count(map->window)) {
                    found = Viewable(map->window);
                } else if (map->event == root_) {
                    seen_.erase(map->window); // a frame may be mapped again with another window
                    found = Check(map->window, 0);
                }
                break;
            }
            case XCB_PROPERTY_NOTIFY: {
                const auto* change = reinterpret_cast<const xcb_property_notify_event_t*>(event);
                if (change->window == root_ && change->atom == clientList_) {
                    for (xcb_window_t w : Windows(root_, clientList_)) {
                        if (!seen_.count(w) && Check(w, 2)) {
                            found = true;
                            break;
                        }
                    }
                }
                break;
            }
            default:
                break;
            }
        }
        // A frame's mapping comes after its client's: look below it again.
        if (!found) {
            for (xcb_window_t w : watched_) {
                if (Viewable(w)) {
                    return true;
                }
            }
        }
        return found;
    }

    const Xcb& x_;
    long long pid_;
    std::string exe_;
    std::string class_; // folded; "" for none
    xcb_connection_t* c_ = nullptr;
    xcb_window_t root_ = 0;
    xcb_atom_t clientList_ = XCB_ATOM_NONE;
    xcb_atom_t wmPid_ = XCB_ATOM_NONE;
    std::set<xcb_window_t> seen_;
    std::set<xcb_window_t> watched_;
    bool ended_ = false;
};

} // namespace

std::string WindowWaitLimitation() {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) {
        const char* wayland = std::getenv("WAYLAND_DISPLAY");
        return wayland && *wayland
                   ? "this Wayland session does not show one program the windows of another"
                   : "there is no display to see windows on";
    }
    if (!LoadXcb()) {
        return "libxcb, which watching windows needs, could not be loaded";
    }
    return "";
}

Readiness WaitForWindow(long long processId, const std::string& windowClass,
                        WaitClock::time_point deadline) {
    if (const std::string limitation = WindowWaitLimitation(); !limitation.empty()) {
        return {ReadyState::CannotTell, limitation};
    }
    if (processId <= 0 && windowClass.empty()) {
        return {ReadyState::CannotTell, "the system did not say which process it is"};
    }
    WindowWatch watch(*LoadXcb(), processId, windowClass);
    if (const auto problem = watch.Connect()) {
        return {ReadyState::CannotTell, *problem};
    }
    return watch.Wait(deadline);
}

} // namespace korvane::shell

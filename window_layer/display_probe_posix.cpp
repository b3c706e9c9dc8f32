#include "window_layer/display_probe.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>

namespace korvane {

namespace {

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

// An X server that accepts us, authorisation included.
bool XAnswers() {
    if (Env("DISPLAY").empty()) {
        return false;
    }
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    const bool ok = c && xcb_connection_has_error(c) == 0;
    if (c) {
        xcb_disconnect(c);
    }
    return ok;
}

// A Wayland compositor listening on the socket the client library would use.
bool WaylandAnswers(bool explicitlyChosen) {
    std::string name = Env("WAYLAND_DISPLAY");
    if (name.empty()) {
        if (!explicitlyChosen) {
            return false;
        }
        name = "wayland-0";
    }
    const std::string path = name.front() == '/' ? name : Env("XDG_RUNTIME_DIR") + "/" + name;
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path.front() != '/' || path.size() >= sizeof addr.sun_path) {
        return false;
    }
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    const bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0;
    ::close(fd);
    return ok;
}

} // namespace

DisplayKind ProbeDisplay() {
    std::string platform = Env("QT_QPA_PLATFORM");
    platform = platform.substr(0, platform.find_first_of(":;"));
    if (platform == "offscreen" || platform == "minimal") {
        return DisplayKind::Invisible;
    }
    bool ok = false;
    if (platform.empty()) {
        ok = WaylandAnswers(false) || XAnswers();
    } else if (platform.starts_with("wayland")) {
        ok = WaylandAnswers(true);
    } else if (platform == "xcb") {
        ok = XAnswers();
    } else {
        ok = true; // eglfs, linuxfb, vnc, ...: Qt knows best
    }
    return ok ? DisplayKind::Visible : DisplayKind::None;
}

bool PreferXForPlacedWindows() {
    if (Env("QT_QPA_PLATFORM").empty() && !Env("WAYLAND_DISPLAY").empty() && XAnswers()) {
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
        return true;
    }
    return false;
}

void ForgetPlatformChoice() {
    ::unsetenv("QT_QPA_PLATFORM");
}

} // namespace korvane

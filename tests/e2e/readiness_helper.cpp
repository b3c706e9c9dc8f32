// The items of the readiness tests: each notes what it did and when (on the
// monotonic clock, the same for every process) in a marker file.
//   window DELAY_MS MARKER      opens a window after a delay, notes "mapped"
//   stamp TAG MARKER            notes TAG and ends
//   exit DELAY_MS CODE MARKER   notes "ending" after a delay, ends with CODE
//   touch DELAY_MS PATH MARKER  makes PATH after a delay, notes "made"
//   listen DELAY_MS PORT MARKER listens on 127.0.0.1:PORT after a delay, notes "listening"
//   idle SECONDS MARKER         notes "idle" and does nothing for that long
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>
#include <thread>

namespace {

void Note(const char* marker, const std::string& tag) {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    std::ofstream(marker, std::ios::app)
        << tag << ' ' << ::getpid() << ' ' << now.tv_sec * 1000000000LL + now.tv_nsec << '\n';
}

void Pause(const char* ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(ms)));
}

int Window(const char* marker) {
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        return 2;
    }
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_window_t w = xcb_generate_id(c);
    const std::uint32_t values[] = {screen->white_pixel, XCB_EVENT_MASK_STRUCTURE_NOTIFY};
    xcb_create_window(c, XCB_COPY_FROM_PARENT, w, screen->root, 10, 10, 200, 100, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                      XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);
    const char* name = "_NET_WM_PID";
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
    const std::uint32_t pid = static_cast<std::uint32_t>(::getpid());
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, atom->atom, XCB_ATOM_CARDINAL, 32, 1, &pid);
    std::free(atom);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, 11,
                        "late window");
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8, 24,
                        "late-window\0KorvaneLate\0");
    xcb_map_window(c, w);
    xcb_flush(c);
    while (xcb_generic_event_t* event = xcb_wait_for_event(c)) {
        const bool mapped = (event->response_type & 0x7f) == XCB_MAP_NOTIFY;
        std::free(event);
        if (mapped) {
            Note(marker, "mapped");
            break;
        }
    }
    std::this_thread::sleep_for(std::chrono::seconds(60)); // the test ends it
    return 0;
}

int Listen(const char* port, const char* marker) {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    const int yes = 1;
    ::setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in in{};
    in.sin_family = AF_INET;
    in.sin_port = htons(static_cast<std::uint16_t>(std::atoi(port)));
    in.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(s, reinterpret_cast<sockaddr*>(&in), sizeof in) != 0 || ::listen(s, 8) != 0) {
        return 2;
    }
    Note(marker, "listening");
    std::this_thread::sleep_for(std::chrono::seconds(10));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "window" && argc == 4) {
        Pause(argv[2]);
        return Window(argv[3]);
    }
    if (mode == "stamp" && argc == 4) {
        Note(argv[3], argv[2]);
        return 0;
    }
    if (mode == "exit" && argc == 5) {
        Pause(argv[2]);
        Note(argv[4], "ending");
        return std::atoi(argv[3]);
    }
    if (mode == "touch" && argc == 5) {
        Pause(argv[2]);
        std::ofstream(argv[3]).put('\n');
        Note(argv[4], "made");
        std::this_thread::sleep_for(std::chrono::seconds(1));
        return 0;
    }
    if (mode == "listen" && argc == 5) {
        Pause(argv[2]);
        return Listen(argv[3], argv[4]);
    }
    if (mode == "idle" && argc == 4) {
        Note(argv[3], "idle");
        std::this_thread::sleep_for(std::chrono::seconds(std::atoi(argv[2])));
        return 0;
    }
    std::fprintf(stderr, "usage: readiness_helper window|stamp|exit|touch|listen|idle ...\n");
    return 2;
}

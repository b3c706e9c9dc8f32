// Starts a program and reports how long it took until its first top-level
// window was mapped, and its resident memory a moment later. An X client on
// the root window's map events: no polling, no help from the program.
// Usage: first_map SETTLE_MS COMMAND ARGS...   prints "<ms to map>,<rss kB>".
#include <xcb/xcb.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

long ResidentKb(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::atol(line.c_str() + 6);
        }
    }
    return -1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: first_map SETTLE_MS COMMAND [ARGS...]\n");
        return 2;
    }
    const int settleMs = std::atoi(argv[1]);
    int screenNumber = 0;
    xcb_connection_t* c = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "first_map: no X display\n");
        return 2;
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber; ++i) {
        xcb_screen_next(&it);
    }
    const xcb_window_t root = it.data->root;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    // Checked, so the selection is in force before the program starts.
    if (std::unique_ptr<xcb_generic_error_t, decltype(&std::free)> error{
            xcb_request_check(
                c, xcb_change_window_attributes_checked(c, root, XCB_CW_EVENT_MASK, &mask)),
            &std::free}) {
        std::fprintf(stderr, "first_map: cannot watch the root window\n");
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        execvp(argv[2], argv + 2);
        std::perror("first_map: exec");
        _exit(127);
    }
    double mapMs = -1;
    while (xcb_generic_event_t* event = xcb_wait_for_event(c)) {
        const bool mapped = (event->response_type & 0x7f) == XCB_MAP_NOTIFY &&
                            reinterpret_cast<xcb_map_notify_event_t*>(event)->event == root;
        std::free(event);
        if (mapped) {
            mapMs =
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                    .count();
            break;
        }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(settleMs));
    const long rss = ResidentKb(child);
    kill(child, SIGTERM);
    int status = 0;
    waitpid(child, &status, 0);
    xcb_disconnect(c);
    std::printf("%.1f,%ld\n", mapMs, rss);
    return mapMs < 0 ? 1 : 0;
}

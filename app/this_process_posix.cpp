#include "app/this_process.h"

#include "shell/readiness.h"

#include <csignal>
#include <unistd.h>

namespace korvane {

long long OwnProcessId() {
    return ::getpid();
}

bool StderrIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

void CancelRunWhenAskedToEnd() {
    shell::PrepareCancel();
    struct sigaction action {};
    action.sa_handler = [](int) { shell::CancelWaits(); };
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        ::sigaction(signal, &action, nullptr);
    }
}

} // namespace korvane

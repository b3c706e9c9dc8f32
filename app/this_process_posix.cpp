#include "app/this_process.h"

#include <unistd.h>

namespace korvane {

long long OwnProcessId() {
    return ::getpid();
}

bool StderrIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

} // namespace korvane

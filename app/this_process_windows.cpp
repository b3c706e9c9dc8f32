#include "app/this_process.h"

#include "shell/readiness.h"

#include <windows.h>

#include <cstdio>
#include <io.h>

namespace korvane {

long long OwnProcessId() {
    return static_cast<long long>(GetCurrentProcessId());
}

bool StderrIsTerminal() {
    return _isatty(_fileno(stderr)) != 0;
}

void CancelRunWhenAskedToEnd() {
    shell::PrepareCancel();
    SetConsoleCtrlHandler(
        [](DWORD) -> BOOL {
            shell::CancelWaits();
            return TRUE;
        },
        TRUE);
}

} // namespace korvane

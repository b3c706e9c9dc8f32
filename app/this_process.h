#pragma once

// What the system says of this process; one implementation per platform.

namespace korvane {

long long OwnProcessId();
// Whether stderr reaches a person at a terminal, not a file, a pipe or nothing.
bool StderrIsTerminal();
// Being asked to end (a signal, Ctrl+C, the console closing) ends the run's
// pauses and waits instead, so that it can stop cleanly and say so.
void CancelRunWhenAskedToEnd();

} // namespace korvane

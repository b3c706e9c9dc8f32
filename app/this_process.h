#pragma once

// What the system says of this process; one implementation per platform.

namespace korvane {

long long OwnProcessId();
// Whether stderr reaches a person at a terminal, not a file, a pipe or nothing.
bool StderrIsTerminal();

} // namespace korvane

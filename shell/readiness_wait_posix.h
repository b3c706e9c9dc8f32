#pragma once

// The freedesktop waits' common loop: poll, ended early by CancelWaits.

#include "shell/readiness_wait.h"

#include <poll.h>
#include <string>
#include <vector>

namespace korvane::shell {

enum class Woke { Event, Timeout, Cancelled };

// Polls fds (and the cancel pipe) until one is ready or until passes.
Woke PollUntil(std::vector<pollfd>& fds, WaitClock::time_point until);

// How a process ended, from its wait status.
std::string EndedWords(int waitStatus);

} // namespace korvane::shell

#include "shell/readiness_wait.h"

namespace korvane::shell {

Readiness Finish(Readiness result, WaitClock::time_point start, WaitClock::time_point deadline) {
    if (result.state == ReadyState::CannotTell &&
        !SleepUnlessCancelled(
            std::chrono::ceil<std::chrono::milliseconds>(deadline - WaitClock::now()))) {
        result.state = ReadyState::Cancelled;
    }
    if (result.state == ReadyState::Cancelled) {
        result.how = "cancelled";
    }
    result.waited = std::chrono::duration_cast<std::chrono::milliseconds>(WaitClock::now() - start);
    return result;
}

Readiness WaitUntilReady(const ItemWait& wait, long long processId,
                         const std::string& windowClass) {
    const auto start = WaitClock::now();
    const auto deadline = start + std::chrono::seconds(wait.limitSeconds);
    Readiness result;
    switch (wait.kind) {
    case WaitKind::None:
        return result;
    case WaitKind::Window:
        result = WaitForWindow(processId, windowClass, deadline);
        break;
    case WaitKind::Ended:
        result = WaitForEnd(processId, deadline);
        break;
    case WaitKind::Path:
        result = WaitForPath(wait.target, deadline);
        break;
    case WaitKind::Port:
        result = WaitForPort(wait.target, deadline);
        break;
    }
    return Finish(result, start, deadline);
}

} // namespace korvane::shell

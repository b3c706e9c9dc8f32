// The session's own start on Windows is not taken over yet: nothing is listed.
#include "shell/session_autostart.h"

#include "store/errors.h"

namespace fs = std::filesystem;

namespace korvane::shell {

std::vector<SessionStart> ListSessionStarts() {
    return {};
}

void TakeFromSession(const SessionStart& entry, const fs::path&) {
    throw Error("\"" + entry.name + "\" cannot be taken from the session's start here");
}

std::vector<TakenStart> ListTaken(const fs::path&) {
    return {};
}

void GiveBackToSession(const std::string& id, const fs::path&) {
    throw Error("\"" + id + "\" was not taken from the session's start");
}

} // namespace korvane::shell

// Desktop notifications through the session's notification service (D-Bus),
// by way of the GIO module.
#include "shell/gio_module.h"
#include "shell/shell.h"
#include "shell/version.h"

namespace fs = std::filesystem;

namespace korvane::shell {

bool ShowNotification(const std::string& summary, const std::string& body,
                      const fs::path& openOnClick, int waitSeconds) {
    const KorvaneGio* gio = GioServices();
    return gio && gio->notify(version::kAppId, summary.c_str(), body.c_str(), openOnClick.c_str(),
                              waitSeconds) != 0;
}

} // namespace korvane::shell

// Windows keeps no desktop entries: "Add application" goes to the file
// dialog there.
#include "shell/application_list.h"

namespace korvane::shell {

std::vector<std::string> CurrentDesktops() {
    return {};
}

std::vector<InstalledApplication> ListInstalledApplications() {
    return {};
}

std::vector<InstalledApplication> ListInstalledApplications(const std::vector<std::string>&) {
    return {};
}

} // namespace korvane::shell

// Whether the state folder can be trusted. On Windows the state folder lies
// in the user's own profile (or where the user unpacked a portable copy),
// whose access lists the system keeps; nothing more is asked here.
#include "store/catalogue.h"

namespace korvane {

std::optional<std::string> StateFolderProblem(const ProgramFiles&) {
    return std::nullopt;
}

} // namespace korvane

#include "other_process.h"

#include <cstdlib>

namespace korvane::test {

bool CreateFileInAnotherProcess(const std::filesystem::path& file) {
    return std::system(("touch '" + file.string() + "'").c_str()) == 0;
}

bool RunningUnderWine() {
    return false;
}

} // namespace korvane::test

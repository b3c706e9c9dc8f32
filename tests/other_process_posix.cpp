#include "other_process.h"

#include <cstdlib>
#include <sys/stat.h>

namespace korvane::test {

bool CreateFileInAnotherProcess(const std::filesystem::path& file) {
    return std::system(("touch '" + file.string() + "'").c_str()) == 0;
}

bool MakeNamedPipe(const std::filesystem::path& file) {
    return ::mkfifo(file.c_str(), 0600) == 0;
}

bool RunningUnderWine() {
    return false;
}

} // namespace korvane::test

// Link files: whatever a file holds, reading it back never fails hard.
#include "shell/shell.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string base = "/tmp/korvane-fuzz-link-" + std::to_string(::getpid());
    for (const char* ext : {".lnk", ".desktop"}) {
        const std::string file = base + ext;
        if (FILE* f = std::fopen(file.c_str(), "wb")) {
            std::fwrite(data, 1, size, f);
            std::fclose(f);
        }
        (void)korvane::shell::ReadLinkTarget(file);
        (void)korvane::shell::ReadLinkIconLocation(file);
        std::remove(file.c_str());
    }
    return 0;
}

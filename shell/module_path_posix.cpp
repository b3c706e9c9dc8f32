#include "shell/module_path.h"

#include "shell/shell.h"

#include <dlfcn.h>
#include <filesystem>

namespace korvane::shell {

void* LoadModule(const char* fileName) {
    const std::filesystem::path candidates[] = {ExecutablePath().parent_path() / fileName,
                                                std::filesystem::path(KORVANE_MODULE_DIR) /
                                                    fileName};
    for (const auto& path : candidates) {
        if (void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {
            return module;
        }
    }
    return nullptr;
}

} // namespace korvane::shell

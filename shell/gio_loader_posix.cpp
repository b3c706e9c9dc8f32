// Loads the GIO module on first use.
#include "shell/gio_module.h"
#include "shell/module_path.h"

#include <dlfcn.h>

namespace korvane::shell {

const KorvaneGio* GioServices() {
    static const KorvaneGio* services = []() -> const KorvaneGio* {
        // Kept loaded for the rest of the process: GIO does not unload cleanly.
        void* module = LoadModule(KORVANE_GIO_MODULE);
        if (!module) {
            return nullptr;
        }
        using Entry = const KorvaneGio* (*)();
        const auto entry = reinterpret_cast<Entry>(::dlsym(module, "korvane_gio_v2"));
        return entry ? entry() : nullptr;
    }();
    return services;
}

} // namespace korvane::shell

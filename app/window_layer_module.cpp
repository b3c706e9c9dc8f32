// The window layer in its own module (libkorvane-windows.so), loaded when a
// window mode starts or a fatal error wants its box. The seam is one call
// carrying the command line.
#include "app/window_layer.h"
#include "app/window_layer_entry.h"
#include "shell/module_path.h"

#include <cstdio>
#include <dlfcn.h>

namespace korvane {

namespace {

KorvaneWindowLayerEntry LoadEntry() {
    void* module = shell::LoadModule(KORVANE_WINDOWS_MODULE);
    if (!module) {
        std::fprintf(stderr, "korvane: the windows cannot be loaded: %s\n", ::dlerror());
        return nullptr;
    }
    return reinterpret_cast<KorvaneWindowLayerEntry>(::dlsym(module, kWindowLayerEntryName));
}

} // namespace

WindowLayer GetWindowLayer(int& argc, char** argv) {
    WindowLayer layer;
    layer.run = [&argc, argv] {
        const KorvaneWindowLayerEntry entry = LoadEntry();
        return entry ? entry(argc, argv, nullptr) : 1;
    };
    layer.showFatalError = [&argc, argv](const std::string& text) {
        if (const KorvaneWindowLayerEntry entry = LoadEntry()) {
            (void)entry(argc, argv, text.c_str());
        }
    };
    return layer;
}

} // namespace korvane

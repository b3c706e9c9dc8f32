#include "window_layer/font_warmup.h"

#include <dlfcn.h>

namespace korvane {

void WarmUpFontConfiguration() {
    // Fontconfig is Qt's, loaded with it: asked for only if it is already
    // there, so a Qt built without it costs nothing and needs nothing. Its
    // initialisation is thread-safe and done once, by whoever comes first.
    void* fontconfig = ::dlopen("libfontconfig.so.1", RTLD_LAZY | RTLD_NOLOAD);
    if (!fontconfig) {
        return;
    }
    using FcInitFunction = int (*)();
    if (auto init = reinterpret_cast<FcInitFunction>(::dlsym(fontconfig, "FcInit"))) {
        (void)init();
    }
    ::dlclose(fontconfig); // drops only the reference taken here
}

} // namespace korvane

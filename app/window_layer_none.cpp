// A build without windows: only direct launch is there.
#include "app/fatal_error_box.h"
#include "app/window_layer.h"

#include <cstdio>

namespace korvane {

WindowLayer GetWindowLayer(int&, char**) {
    WindowLayer layer;
    layer.run = [] {
        std::fprintf(stderr, "This copy of Korvane was built without its windows: give the name "
                             "of a batch to launch it.\n");
        return 1;
    };
    layer.showFatalError = ShowFatalErrorBox;
    return layer;
}

} // namespace korvane

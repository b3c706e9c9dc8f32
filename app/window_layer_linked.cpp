// Windows: the window layer is linked in, and a fatal error of a direct
// launch shows the system's own box, which needs no Qt.
#include "app/fatal_error_box.h"
#include "app/window_layer.h"
#include "app/window_layer_entry.h"

namespace korvane {

WindowLayer GetWindowLayer(int& argc, char** argv) {
    WindowLayer layer;
    layer.run = [&argc, argv] { return korvane_window_layer(argc, argv, nullptr); };
    layer.showFatalError = ShowFatalErrorBox;
    return layer;
}

} // namespace korvane

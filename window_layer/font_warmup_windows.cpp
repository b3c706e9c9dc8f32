#include "window_layer/font_warmup.h"

namespace korvane {

// The system's fonts need no reading ahead here.
void WarmUpFontConfiguration() {}

} // namespace korvane

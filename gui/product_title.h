#pragma once

class QLabel;
class QWidget;

namespace korvane {

// The product name as a title (the About box, the startup menu's header):
// bold and larger than the text around it, in the normal text colour (grey
// would read as disabled), scaled with the user's font settings.
QLabel* MakeProductTitle(QWidget* parent);

} // namespace korvane

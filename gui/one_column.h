#pragma once

class QListWidget;

namespace korvane {

// Makes a list show one column as wide as the list less margin, kept so as
// it is resized or filled: long captions are cut with "..." at the right and
// the list never scrolls sideways.
void KeepOneColumn(QListWidget* list, int margin);

} // namespace korvane

#pragma once

class QAbstractItemView;

namespace korvane {

// Lets the Menu key and Shift+F10 open a list's context menu beside its
// current row, as a right click there does (some platforms send no context
// menu event for either key).
void OpenContextMenuFromKeys(QAbstractItemView* view);

} // namespace korvane

#include "gui/list_rows.h"

#include <QSignalBlocker>

namespace korvane {

void FillListRows(QListWidget& list, const QStringList& names,
                  const std::function<void(QListWidgetItem&, int)>& setUp) {
    list.clear();
    list.addItems(names);
    // New rows, not yet laid out or drawn: their icons and data go in without
    // a change notice each (the insertion has already told the view, which
    // lays them out and draws them afresh).
    const QSignalBlocker quiet(list.model());
    for (int i = 0; i < list.count(); ++i) {
        setUp(*list.item(i), i);
    }
}

} // namespace korvane

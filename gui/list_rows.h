#pragma once

#include <QListWidget>
#include <QStringList>

#include <functional>

namespace korvane {

// A list's rows made anew from names, inserted all at once; setUp then gives
// row i its icon and data. Adding rows one by one costs the list an insertion
// each, which a thousand batches feel. The caller blocks the list's own
// signals where they would be acted on.
void FillListRows(QListWidget& list, const QStringList& names,
                  const std::function<void(QListWidgetItem&, int)>& setUp);

} // namespace korvane

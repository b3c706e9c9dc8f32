#pragma once

#include <QIcon>
#include <QString>

namespace korvane {

// The picture a batch without an icon of its own shows.
QIcon DefaultBatchIcon();

// The icon kept in a file at index: image files and icon files Qt reads,
// desktop entries (their Icon=), link files (their IconFile). A null icon
// when there is none.
QIcon ExtractIcon(const QString& file, int index);

// The icon the desktop shows for a file of this name and type, judged from
// the name alone (the file is not opened).
QIcon FileTypeIcon(const QString& file);

} // namespace korvane

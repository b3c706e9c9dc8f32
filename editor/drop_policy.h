#pragma once
// What the item list takes from a drag: its own rows moved up and down, or
// files from a file manager, copied in as items (never moved away).
#include <QMimeData>

#include <filesystem>
#include <vector>

namespace korvane {

// The action a drop of files performs: a copy when offered, else a link;
// never a move, which would delete the user's files.
Qt::DropAction ItemDropAction(Qt::DropActions offered);

// A row of the item list dragged within it (the view's own drag data).
bool IsItemDrag(const QMimeData* data);

// The local files of a drop, in the order given; empty when it holds none.
// Taken from the URI list as bytes: a file name need not be UTF-8, and a
// detour through text would change it.
std::vector<std::filesystem::path> LocalFiles(const QMimeData* data);

} // namespace korvane

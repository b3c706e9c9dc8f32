#pragma once

// What the system itself knows of files' icons and types, where it keeps
// icons inside programs and libraries and names file types (Windows, through
// the shell). The freedesktop build answers "unknown" everywhere: there the
// icon theme and the MIME database answer instead.

#include <QIcon>
#include <QString>

#include <optional>

namespace korvane {

// How many icons a program, library or icon library holds (.exe, .dll,
// .icl, .cpl); nullopt for other files and where the system keeps none.
std::optional<int> SystemIconCount(const QString& file);
// Icon index of such a file; null when there is none.
QIcon SystemIcon(const QString& file, int index);

// The icon the shell shows for a file (a program's own, a document's
// type); null where unknown.
QIcon SystemFileIcon(const QString& file);

// The shell's name of a file's type ("Text Document"); "" where unknown.
QString SystemTypeName(const QString& file);

} // namespace korvane

#pragma once

#include "app/item_row.h"

#include <QIcon>
#include <QString>

#include <functional>
#include <map>
#include <string>
#include <tuple>
#include <utility>

namespace korvane {

// One of the program's own pictures, compiled in (icons/pictures/<name>.svg):
// "add-application", "add-batch", "delete", "document", "down",
// "executable", "folder", "launch", "pause", "shortcut", "up".
QIcon ProgramPicture(const char* name);

// An icon made by make when it is first drawn, so that a window can show
// before the icon theme has been searched. make must not return a null icon
// (the icon counts as not null before it is made).
QIcon Deferred(std::function<QIcon()> make);

// The program's own icon (icons/korvane.svg, compiled in).
QIcon ProductIcon();

// The picture a batch without an icon of its own shows: the program's own.
QIcon DefaultBatchIcon();

// The icon kept in an icon source at index, drawn 32 x 32: image files and
// icon files Qt reads, desktop entries (their Icon=), link files (their
// IconFile), names of the icon theme (index 0). The source may be stored
// relative to the program's data folder. A null icon when there is none.
QIcon ExtractIcon(const QString& source, int index);

// How many icons ExtractIcon can take from a source: one per picture of an
// icon file (a picture at several sizes is one icon), one for anything else
// that yields an icon, 0 for none.
int IconCount(const QString& source);

// The program's own collection of icons beside the executable, offered when
// a batch has no icon file yet.
QString DefaultIconLibrary();

// The icon the desktop shows for a file of this name and type, judged from
// the name alone (the file is not opened); when the icon theme has none (or
// there is no theme), the program's generic folder, program or document
// picture. Never null.
QIcon FileTypeIcon(const QString& file);

// The icon a desktop entry's Icon= names (a theme name or a file), loaded
// when first drawn; the program's generic program picture when it names
// none the theme has.
QIcon MenuEntryIcon(const QString& icon);

// The icons of batch rows for one fill of a list: a batch's own icon, or the
// default picture, made when first drawn. Each icon file is read once,
// however many batches use it.
class BatchIcons {
  public:
    QIcon For(const std::string& iconFile, int iconIndex);

  private:
    std::map<std::pair<std::string, int>, QIcon> cache_;
};

// The icons of application items for one fill of a list: the link's own
// icon, else what the desktop shows for its target (or the file itself),
// made when first drawn. Never null. Each target is looked up once, however
// many items start it.
class ItemIcons {
  public:
    QIcon For(const ApplicationRow& row);

  private:
    std::map<std::tuple<std::string, int, std::string>, QIcon> cache_;
};

} // namespace korvane

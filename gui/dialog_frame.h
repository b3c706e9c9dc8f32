#pragma once

#include <QSize>

class QDialog;

namespace korvane {

// A dialog whose content has one size: no maximize or minimize button and
// no resizing, at the designed size or larger where the content needs it
// (a larger font, a higher scale).
void FixDialogSize(QDialog* dialog, QSize designed = {});

// A dialog made once and shown many times opens centred over its parent
// each time (left to Qt, the first showing lies a title bar's height higher
// than the next ones, as the frame is not known yet).
void CentreOnEveryShow(QDialog* dialog);

} // namespace korvane

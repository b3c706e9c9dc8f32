#pragma once

#include <QHBoxLayout>
#include <QPushButton>

namespace korvane {

// The row of a dialog's confirm and cancel buttons, right-aligned; the
// confirm button is the default one (Enter).
struct DialogButtons {
    QHBoxLayout* row;
    QPushButton* confirm;
    QPushButton* cancel;
};
DialogButtons MakeDialogButtons(QWidget* dialog, const QString& confirmText,
                                const char* confirmName, const char* cancelName);

} // namespace korvane

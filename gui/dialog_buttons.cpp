#include "gui/dialog_buttons.h"

namespace korvane {

DialogButtons MakeDialogButtons(QWidget* dialog, const QString& confirmText,
                                const char* confirmName, const char* cancelName) {
    DialogButtons b{new QHBoxLayout, new QPushButton(confirmText, dialog),
                    new QPushButton(QStringLiteral("Cancel"), dialog)};
    b.confirm->setObjectName(QString::fromLatin1(confirmName));
    b.confirm->setDefault(true);
    b.cancel->setObjectName(QString::fromLatin1(cancelName));
    b.row->addStretch();
    b.row->addWidget(b.confirm);
    b.row->addWidget(b.cancel);
    return b;
}

} // namespace korvane

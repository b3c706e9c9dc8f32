#include "gui/dialog_frame.h"

#include <QDialog>
#include <QEvent>
#include <QScreen>

#include <algorithm>

namespace korvane {

namespace {

// Places the dialog's own area (not its frame, whose size a window manager
// tells only later) over the centre of its parent's, on the parent's screen,
// each time just before the window is mapped.
class CentreOverParent : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Show) {
            return false;
        }
        auto* dialog = static_cast<QWidget*>(watched);
        QWidget* parent = dialog->parentWidget() ? dialog->parentWidget()->window() : nullptr;
        if (!parent || !parent->isVisible()) {
            return false;
        }
        QRect area(QPoint(), dialog->size());
        area.moveCenter(parent->geometry().center());
        if (const QScreen* screen = parent->screen()) {
            const QRect free = screen->availableGeometry();
            area.moveLeft(std::clamp(area.left(), free.left(), free.right() - area.width() + 1));
            area.moveTop(std::clamp(area.top(), free.top(), free.bottom() - area.height() + 1));
        }
        dialog->setGeometry(area); // its own area, not its frame
        return false;
    }
};

} // namespace

void FixDialogSize(QDialog* dialog, QSize designed) {
    dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint);
    dialog->setFixedSize(designed.expandedTo(dialog->sizeHint()));
}

void CentreOnEveryShow(QDialog* dialog) {
    dialog->installEventFilter(new CentreOverParent(dialog));
}

} // namespace korvane

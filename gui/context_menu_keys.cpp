#include "gui/context_menu_keys.h"

#include <QAbstractItemView>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QKeyEvent>

namespace korvane {

namespace {

class ContextMenuKeys : public QObject {
  public:
    explicit ContextMenuKeys(QAbstractItemView* view) : QObject(view), view_(view) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != view_ || event->type() != QEvent::KeyPress) {
            return false;
        }
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool menuKey = key->key() == Qt::Key_Menu && key->modifiers() == Qt::NoModifier;
        const bool shiftF10 = key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier;
        if (!menuKey && !shiftF10) {
            return false;
        }
        QWidget* viewport = view_->viewport();
        const QRect row = view_->visualRect(view_->currentIndex());
        const QPoint at = row.isValid() ? row.center() : QPoint(4, 4);
        QContextMenuEvent menu(QContextMenuEvent::Keyboard, at, viewport->mapToGlobal(at),
                               key->modifiers());
        QCoreApplication::sendEvent(viewport, &menu);
        return true;
    }

  private:
    QAbstractItemView* view_;
};

} // namespace

void OpenContextMenuFromKeys(QAbstractItemView* view) {
    view->installEventFilter(new ContextMenuKeys(view));
}

} // namespace korvane

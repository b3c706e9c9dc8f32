#include "gui/one_column.h"

#include <QAbstractItemModel>
#include <QEvent>
#include <QListWidget>

#include <algorithm>

namespace korvane {

namespace {

class OneColumn : public QObject {
  public:
    OneColumn(QListWidget* list, int margin) : QObject(list), list_(list), margin_(margin) {
        list->installEventFilter(this);
        connect(list->model(), &QAbstractItemModel::rowsInserted, this,
                [this](const QModelIndex&, int first, int last) { Fit(first, last); });
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == list_ && event->type() == QEvent::Resize) {
            Fit(0, list_->count() - 1);
        }
        return false;
    }

  private:
    // Only the rows given: a fill of a thousand rows stays linear.
    void Fit(int first, int last) {
        const QSize size(
            std::max(0, list_->width() - margin_),
            std::max(list_->iconSize().height() + 4, list_->fontMetrics().height() + 4));
        for (int i = std::max(0, first); i <= last && i < list_->count(); ++i) {
            if (list_->item(i)->sizeHint() != size) {
                list_->item(i)->setSizeHint(size);
            }
        }
    }

    QListWidget* list_;
    int margin_;
};

} // namespace

void KeepOneColumn(QListWidget* list, int margin) {
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setTextElideMode(Qt::ElideRight);
    list->setWordWrap(false);
    new OneColumn(list, margin);
}

} // namespace korvane

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
        connect(list->model(), &QAbstractItemModel::rowsInserted, this, [this] { Fit(); });
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == list_ && event->type() == QEvent::Resize) {
            Fit();
        }
        return false;
    }

  private:
    void Fit() {
        const QSize size(
            std::max(0, list_->width() - margin_),
            std::max(list_->iconSize().height() + 4, list_->fontMetrics().height() + 4));
        for (int i = 0; i < list_->count(); ++i) {
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

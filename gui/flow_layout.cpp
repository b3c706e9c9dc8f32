#include "gui/flow_layout.h"

#include <QWidget>

#include <algorithm>

namespace korvane {

namespace {

constexpr int kGap = 9;    // across: wide enough for a separator line between two items
constexpr int kRowGap = 2; // between rows

bool IsSeparator(const QLayoutItem* item) {
    return item->widget() && item->widget()->property("flowSeparator").toBool();
}

} // namespace

void FlowLayout::MarkAsSeparator(QWidget* widget) {
    widget->setProperty("flowSeparator", true);
}

FlowLayout::FlowLayout(QWidget* parent) : QLayout(parent) {
    setContentsMargins(0, 0, 0, 0);
    setSpacing(kGap);
}

FlowLayout::~FlowLayout() {
    while (QLayoutItem* item = takeAt(0)) {
        delete item;
    }
}

void FlowLayout::addItem(QLayoutItem* item) {
    items_.append(item);
}

int FlowLayout::count() const {
    return static_cast<int>(items_.size());
}

QLayoutItem* FlowLayout::itemAt(int index) const {
    return items_.value(index);
}

QLayoutItem* FlowLayout::takeAt(int index) {
    return index >= 0 && index < items_.size() ? items_.takeAt(index) : nullptr;
}

Qt::Orientations FlowLayout::expandingDirections() const {
    return {};
}

bool FlowLayout::hasHeightForWidth() const {
    return true;
}

int FlowLayout::heightForWidth(int width) const {
    return Arrange(QRect(0, 0, width, 0), false);
}

QSize FlowLayout::minimumSize() const {
    QSize size;
    for (const QLayoutItem* item : items_) {
        size = size.expandedTo(item->minimumSize());
    }
    const QMargins m = contentsMargins();
    return size + QSize(m.left() + m.right(), m.top() + m.bottom());
}

QSize FlowLayout::sizeHint() const {
    // One row of everything; the height follows the width it is given.
    int width = 0;
    int height = 0;
    for (const QLayoutItem* item : items_) {
        if (!IsSeparator(item)) {
            width += item->sizeHint().width() + spacing();
            height = std::max(height, item->sizeHint().height());
        }
    }
    const QMargins m = contentsMargins();
    return QSize(width + m.left() + m.right(), height + m.top() + m.bottom());
}

void FlowLayout::setGeometry(const QRect& rect) {
    QLayout::setGeometry(rect);
    Arrange(rect, true);
}

int FlowLayout::Arrange(const QRect& rect, bool place) const {
    const QRect area = rect.marginsRemoved(contentsMargins());
    int x = area.x();
    int y = area.y();
    int rowHeight = 0;
    QLayoutItem* separator = nullptr; // waiting for the item it comes before
    for (QLayoutItem* item : items_) {
        if (item->widget() && item->widget()->isHidden()) {
            continue;
        }
        if (IsSeparator(item)) {
            if (separator && place) {
                separator->setGeometry(QRect()); // two in a row: one line is enough
            }
            separator = item;
            continue;
        }
        const QSize hint = item->sizeHint();
        if (x > area.x() && x + hint.width() > area.right() + 1) {
            x = area.x();
            y += rowHeight + kRowGap;
            rowHeight = 0;
        }
        if (place) {
            if (separator) {
                // In the gap before the item, as tall as it; none at a row's start.
                separator->setGeometry(
                    x > area.x() ? QRect(x - spacing(), y, spacing(), hint.height()) : QRect());
            }
            item->setGeometry(QRect(QPoint(x, y), hint));
        }
        separator = nullptr;
        x += hint.width() + spacing();
        rowHeight = std::max(rowHeight, hint.height());
    }
    if (separator && place) {
        separator->setGeometry(QRect()); // nothing after it
    }
    const QMargins m = contentsMargins();
    return y + rowHeight - rect.y() + m.bottom();
}

} // namespace korvane

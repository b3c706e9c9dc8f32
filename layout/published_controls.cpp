#include "layout/published_controls.h"

#include "gui/flow_layout.h"

#include <QActionEvent>
#include <QPainter>
#include <QStyleOption>
#include <QToolButton>

#include <QSplitter>

namespace korvane {

namespace {

// A tool-bar separator drawn by the style, as a QToolBar draws its own.
class ToolBarSeparator : public QWidget {
  public:
    explicit ToolBarSeparator(QWidget* parent) : QWidget(parent) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        QStyleOption option;
        option.initFrom(this);
        option.state |= QStyle::State_Horizontal; // the bar runs across
        style()->drawPrimitive(QStyle::PE_IndicatorToolBarSeparator, &option, &painter, this);
    }
};

} // namespace

TPublishedToolBar::TPublishedToolBar(QWidget* parent) : QWidget(parent) {
    setLayout(new FlowLayout);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}

void TPublishedToolBar::SetList(bool v) {
    list_ = v;
    ApplyStyle();
}

void TPublishedToolBar::SetShowCaptions(bool v) {
    showCaptions_ = v;
    ApplyStyle();
}

void TPublishedToolBar::setIconSize(const QSize& size) {
    iconSize_ = size;
    ApplyStyle();
}

QAction* TPublishedToolBar::addSeparator() {
    auto* separator = new QAction(this);
    separator->setSeparator(true);
    addAction(separator);
    return separator;
}

QWidget* TPublishedToolBar::widgetForAction(QAction* action) const {
    const auto it = widgets_.find(action);
    return it == widgets_.end() ? nullptr : it->second;
}

Qt::ToolButtonStyle TPublishedToolBar::toolButtonStyle() const {
    return !showCaptions_ ? Qt::ToolButtonIconOnly
           : list_        ? Qt::ToolButtonTextBesideIcon
                          : Qt::ToolButtonTextUnderIcon;
}

void TPublishedToolBar::actionEvent(QActionEvent* event) {
    QAction* action = event->action();
    if (event->type() == QEvent::ActionAdded && !widgets_.count(action)) {
        QWidget* widget = nullptr;
        if (action->isSeparator()) {
            widget = new ToolBarSeparator(this);
            FlowLayout::MarkAsSeparator(widget);
        } else {
            auto* button = new QToolButton(this);
            button->setObjectName(action->objectName() + QStringLiteral("Button"));
            button->setDefaultAction(action);
            button->setAutoRaise(true); // flat
            // Reached by the menus and their keys: Tab goes from list to list.
            button->setFocusPolicy(Qt::NoFocus);
            widget = button;
        }
        layout()->addWidget(widget);
        widgets_[action] = widget;
        ApplyStyle();
    } else if (event->type() == QEvent::ActionRemoved) {
        if (const auto it = widgets_.find(action); it != widgets_.end()) {
            delete it->second;
            widgets_.erase(it);
        }
    }
    QWidget::actionEvent(event);
}

void TPublishedToolBar::ApplyStyle() {
    const Qt::ToolButtonStyle style = toolButtonStyle();
    // With captions every button is as wide as the widest (at least 100), so
    // that the rows of a wrapped bar line up in columns.
    int width = 0;
    for (const auto& [action, widget] : widgets_) {
        if (auto* button = qobject_cast<QToolButton*>(widget)) {
            button->setToolButtonStyle(style);
            button->setIconSize(iconSize_);
            button->setMinimumWidth(0);
            width = std::max(width, button->sizeHint().width());
        }
    }
    for (const auto& [action, widget] : widgets_) {
        if (auto* button = qobject_cast<QToolButton*>(widget)) {
            button->setMinimumWidth(style == Qt::ToolButtonIconOnly ? 0 : std::max(width, 100));
        }
    }
    if (layout()) {
        layout()->invalidate();
    }
    updateGeometry();
}

void TPublishedListView::SetWidth(int v) {
    if (v < 20 || v > 10000) {
        return;
    }
    if (auto* splitter = qobject_cast<QSplitter*>(parentWidget())) {
        QList<int> sizes = splitter->sizes();
        const int index = splitter->indexOf(this);
        if (index >= 0 && sizes.size() > 1) {
            const int total = std::max(sizes[0] + sizes[1], v + 50);
            sizes[index] = v;
            sizes[1 - index] = total - v;
            splitter->setSizes(sizes);
            return;
        }
    }
    resize(v, height());
}

} // namespace korvane

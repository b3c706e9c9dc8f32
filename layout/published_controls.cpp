#include "layout/published_controls.h"

#include <QSplitter>

namespace korvane {

void TPublishedToolBar::SetList(bool v) {
    list_ = v;
    ApplyStyle();
}

void TPublishedToolBar::SetShowCaptions(bool v) {
    showCaptions_ = v;
    ApplyStyle();
}

void TPublishedToolBar::ApplyStyle() {
    setToolButtonStyle(!showCaptions_ ? Qt::ToolButtonIconOnly
                       : list_        ? Qt::ToolButtonTextBesideIcon
                                      : Qt::ToolButtonTextUnderIcon);
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

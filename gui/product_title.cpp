#include "gui/product_title.h"

#include "app/program.h"

#include <QLabel>

namespace korvane {

QLabel* MakeProductTitle(QWidget* parent) {
    auto* label = new QLabel(QString::fromLatin1(kApplicationTitle), parent);
    QFont font = label->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.3);
    label->setFont(font);
    return label;
}

} // namespace korvane

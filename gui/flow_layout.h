#pragma once

#include <QLayout>
#include <QList>

namespace korvane {

// Lays its items out left to right and starts a new row when the next one
// does not fit, so that nothing is hidden however narrow the window.
// Separators (widgets marked with MarkAsSeparator) take no place of their
// own: they stand in the gap before the next item, and none begins a row,
// so items of equal width line up in columns from row to row.
class FlowLayout : public QLayout {
  public:
    static void MarkAsSeparator(QWidget* widget);

    explicit FlowLayout(QWidget* parent = nullptr);
    ~FlowLayout() override;

    void addItem(QLayoutItem* item) override;
    int count() const override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    Qt::Orientations expandingDirections() const override;
    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;
    QSize minimumSize() const override;
    QSize sizeHint() const override;
    void setGeometry(const QRect& rect) override;

  private:
    // Places the items in rect (or only measures); returns the height used.
    int Arrange(const QRect& rect, bool place) const;
    QList<QLayoutItem*> items_;
};

} // namespace korvane

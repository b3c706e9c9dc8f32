#pragma once

#include <QDialog>

class QLabel;

namespace korvane {

// TAboutBox: name, version and the product's web address.
class TAboutBox : public QDialog {
    Q_OBJECT

  public:
    explicit TAboutBox(QWidget* parent = nullptr);
    void setVisible(bool visible) override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void ShowLink(bool hovered);
    QLabel* link_ = nullptr;
};

} // namespace korvane

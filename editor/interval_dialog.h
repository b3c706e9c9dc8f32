#pragma once

#include <QDialog>

class QTimeEdit;

class QLabel;

namespace korvane {

// TForm3: asks for a pause length (hours, minutes, seconds).
class TForm3 : public QDialog {
    Q_OBJECT

  public:
    explicit TForm3(QWidget* parent = nullptr);
    double Time() const; // day fraction
    void SetTime(double dayFraction);

  private:
    QTimeEdit* DateTimePicker1 = nullptr;
};

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

#pragma once

#include <QDialog>

class QTimeEdit;

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

} // namespace korvane

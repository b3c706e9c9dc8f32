#include "editor/interval_dialog.h"

#include "gui/clock_time_edit.h"
#include "gui/dialog_frame.h"
#include "store/clock_time.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTime>
#include <QTimeEdit>
#include <QVBoxLayout>

namespace korvane {

TForm3::TForm3(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Interval"));
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    auto* label = new QLabel(QStringLiteral("Time:"), this);
    DateTimePicker1 = new QTimeEdit(this);
    DateTimePicker1->setObjectName(QStringLiteral("DateTimePicker1"));
    ShowDurationFormat(DateTimePicker1);
    row->addWidget(label);
    row->addWidget(DateTimePicker1, 1);
    layout->addLayout(row);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("OKButton"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("CancelButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    FixDialogSize(this, QSize(195, 121));
}

double TForm3::Time() const {
    return MillisecondsToDayFraction(DateTimePicker1->time().msecsSinceStartOfDay());
}

void TForm3::SetTime(double dayFraction) {
    DateTimePicker1->setTime(
        QTime::fromMSecsSinceStartOfDay(static_cast<int>(DayFractionToMilliseconds(dayFraction))));
}

} // namespace korvane

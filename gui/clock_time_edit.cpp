#include "gui/clock_time_edit.h"

#include <QTimeEdit>

#include <algorithm>

namespace korvane {

QString TimeEditFormat(const TimeFormat& format) {
    QString separator = QString::fromStdString(format.separator);
    // Letters in a separator would read as format codes: quote them.
    if (std::any_of(separator.begin(), separator.end(), [](QChar c) { return c.isLetter(); })) {
        separator = QLatin1Char('\'') + separator.replace(QLatin1Char('\''), QStringLiteral("''")) +
                    QLatin1Char('\'');
    }
    const QString hours = format.twelveHour
                              ? (format.leadingZero ? QStringLiteral("hh") : QStringLiteral("h"))
                              : (format.leadingZero ? QStringLiteral("HH") : QStringLiteral("H"));
    QString text = hours + separator + QStringLiteral("mm") + separator + QStringLiteral("ss");
    if (format.twelveHour) {
        text = format.designatorFirst ? QStringLiteral("AP ") + text : text + QStringLiteral(" AP");
    }
    return text;
}

void ShowDurationFormat(QTimeEdit* edit) {
    TimeFormat format = UserTimeFormat();
    format.twelveHour = false;
    edit->setDisplayFormat(TimeEditFormat(format));
}

} // namespace korvane

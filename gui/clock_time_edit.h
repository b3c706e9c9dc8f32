#pragma once

#include "store/clock_time.h"

#include <QString>

class QTimeEdit;

namespace korvane {

// The display format of a time picker that shows a time the way the clock-time
// text writes it: hours with or without a leading zero, the locale's
// separator, 12-hour with AM/PM where the locale uses it.
QString TimeEditFormat(const TimeFormat& format);

// Gives a time picker the user's format.
void ShowUserTimeFormat(QTimeEdit* edit);

} // namespace korvane

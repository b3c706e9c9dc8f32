#pragma once

#include "store/clock_time.h"

#include <QString>

class QTimeEdit;

namespace korvane {

// The display format of a time picker that shows a time the way the clock-time
// text writes it: hours with or without a leading zero, the locale's
// separator, 12-hour with AM/PM where the locale uses it.
QString TimeEditFormat(const TimeFormat& format);

// Gives a picker of a length of time (a pause, a countdown) the user's
// separator and leading zero, always in 24-hour form: a length has no AM
// or PM, and one key there would turn 3 seconds into 12 hours.
void ShowDurationFormat(QTimeEdit* edit);

} // namespace korvane

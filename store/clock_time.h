#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace korvane {

// How the user's locale writes a time of day.
struct TimeFormat {
    std::string separator = ":";
    bool leadingZero = false;     // 05:00:00 rather than 5:00:00
    bool twelveHour = false;      // 12, 1 ... 11 with a designator
    bool designatorFirst = false; // "AM 9:00:00"
    std::string am = "AM";
    std::string pm = "PM";
    std::string decimalSeparator = ".";
};

// Reads a TimeFormat from POSIX locale data: T_FMT (or T_FMT_AMPM), AM_STR,
// PM_STR and the decimal separator.
TimeFormat TimeFormatFromPosix(std::string_view timeFormat, std::string_view am,
                               std::string_view pm, std::string_view decimalSeparator = ".");

// Reads a TimeFormat from a Windows locale's long time pattern
// (LOCALE_STIMEFORMAT: "HH:mm:ss", "h:mm:ss tt", "tt h:mm:ss", quoted
// literals in '...'), its AM and PM designators and decimal separator.
TimeFormat TimeFormatFromWindows(std::string_view pattern, std::string_view am, std::string_view pm,
                                 std::string_view decimalSeparator = ".");

// The format of the user's LC_TIME, read once; tests may replace it.
const TimeFormat& UserTimeFormat();
void SetUserTimeFormat(const TimeFormat& format);
TimeFormat LocaleTimeFormat(); // per platform

// Times are day fractions: 0.0 is 0:00:00, 1.0 one whole day. Only the part
// below one day is used.
std::string FormatClockTime(double dayFraction, const TimeFormat& format = UserTimeFormat());

// Throws ConvertError("'<text>' is not a valid time") for text that is not a time.
double ParseClockTime(std::string_view text, const TimeFormat& format = UserTimeFormat());

// The day fraction's time of day in whole milliseconds (0 to 86399999).
std::int64_t DayFractionToMilliseconds(double dayFraction);
double MillisecondsToDayFraction(std::int64_t ms);

} // namespace korvane

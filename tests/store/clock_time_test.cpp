#include "store/clock_time.h"
#include "store/errors.h"

#include <gtest/gtest.h>

#include <cmath>

using korvane::FormatClockTime;
using korvane::ParseClockTime;
using korvane::TimeFormat;

namespace {

// The three locale shapes the program meets, as the C library describes them.
const TimeFormat k24 = korvane::TimeFormatFromPosix("%k:%M:%S", "", "");
const TimeFormat kLeadingZero = korvane::TimeFormatFromPosix("%H:%M:%S", "", "");
const TimeFormat k12 = korvane::TimeFormatFromPosix("%r", "AM", "PM");

double Seconds(double s) {
    return s / 86400.0;
}

TEST(TimeFormatTest, ReadsTheLocaleDescription) {
    EXPECT_FALSE(k24.leadingZero);
    EXPECT_FALSE(k24.twelveHour);
    EXPECT_TRUE(kLeadingZero.leadingZero);
    EXPECT_TRUE(k12.twelveHour);
    EXPECT_FALSE(k12.designatorFirst);
    const TimeFormat first = korvane::TimeFormatFromPosix("%p %l.%M.%S", "午前", "午後", ",");
    EXPECT_TRUE(first.designatorFirst);
    EXPECT_TRUE(first.twelveHour);
    EXPECT_FALSE(first.leadingZero);
    EXPECT_EQ(first.separator, ".");
    EXPECT_EQ(first.am, "午前");
    EXPECT_EQ(first.decimalSeparator, ",");
    EXPECT_EQ(korvane::TimeFormatFromPosix("%T", "", "").separator, ":");
}

struct WindowsPatternCase {
    const char* name;
    const char* pattern;
    bool twelveHour;
    bool leadingZero;
    bool designatorFirst;
    const char* separator;
    double seconds;
    const char* text; // what FormatClockTime writes with AM/PM designators
};

class WindowsPatternTest : public ::testing::TestWithParam<WindowsPatternCase> {};

// Long time patterns as Windows locales give them (LOCALE_STIMEFORMAT).
TEST_P(WindowsPatternTest, ReadsThePattern) {
    const WindowsPatternCase& c = GetParam();
    const TimeFormat f = korvane::TimeFormatFromWindows(c.pattern, "AM", "PM", ",");
    EXPECT_EQ(f.twelveHour, c.twelveHour);
    EXPECT_EQ(f.leadingZero, c.leadingZero);
    EXPECT_EQ(f.designatorFirst, c.designatorFirst);
    EXPECT_EQ(f.separator, c.separator);
    EXPECT_EQ(f.decimalSeparator, ",");
    EXPECT_EQ(FormatClockTime(Seconds(c.seconds), f), c.text);
    EXPECT_NEAR(ParseClockTime(c.text, f), Seconds(c.seconds), 1e-12);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, WindowsPatternTest,
    ::testing::Values(
        WindowsPatternCase{"enUS", "h:mm:ss tt", true, false, false, ":", 13 * 3600 + 5,
                           "1:00:05 PM"},
        WindowsPatternCase{"deDE", "HH:mm:ss", false, true, false, ":", 300, "00:05:00"},
        WindowsPatternCase{"fiFI", "H.mm.ss", false, false, false, ".", 300, "0.05.00"},
        WindowsPatternCase{"koKR", "tt h:mm:ss", true, false, true, ":", 300, "AM 12:05:00"},
        WindowsPatternCase{"quotedLiteral", "HH'h'mm'm'ss", false, true, false, "h", 3661,
                           "01h01h01"}),
    [](const auto& info) { return std::string(info.param.name); });

struct FormatCase {
    const char* name;
    const TimeFormat* format;
    double seconds;
    const char* text;
};

class FormatClockTimeTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatClockTimeTest, WritesAndReadsBack) {
    const FormatCase& c = GetParam();
    EXPECT_EQ(FormatClockTime(Seconds(c.seconds), *c.format), c.text);
    EXPECT_NEAR(ParseClockTime(c.text, *c.format), Seconds(c.seconds), 1e-12);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FormatClockTimeTest,
    ::testing::Values(FormatCase{"fiveMinutes24", &k24, 300, "0:05:00"},
                      FormatCase{"fiveMinutesLeadingZero", &kLeadingZero, 300, "00:05:00"},
                      FormatCase{"fiveMinutes12", &k12, 300, "12:05:00 AM"},
                      FormatCase{"noon12", &k12, 12 * 3600, "12:00:00 PM"},
                      FormatCase{"evening12", &k12, 23 * 3600 + 59 * 60 + 59, "11:59:59 PM"},
                      FormatCase{"oneOhTwoOhThree", &k24, 3723, "1:02:03"},
                      FormatCase{"lastSecond", &kLeadingZero, 86399, "23:59:59"}),
    [](const auto& info) { return std::string(info.param.name); });

struct ParseCase {
    const char* name;
    const TimeFormat* format;
    const char* text;
    double seconds; // < 0: must be refused
};

class ParseClockTimeTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseClockTimeTest, AcceptsOrRefuses) {
    const ParseCase& c = GetParam();
    if (c.seconds < 0) {
        try {
            ParseClockTime(c.text, *c.format);
            ADD_FAILURE() << "accepted " << c.text;
        } catch (const korvane::ConvertError& e) {
            EXPECT_EQ(std::string(e.what()), std::string("'") + c.text + "' is not a valid time");
        }
    } else {
        EXPECT_NEAR(ParseClockTime(c.text, *c.format), Seconds(c.seconds), 1e-12);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ParseClockTimeTest,
    ::testing::Values(
        ParseCase{"loneHour", &k24, "5", 5 * 3600}, ParseCase{"hourMinutes", &k24, "1:30", 5400},
        ParseCase{"blanksEverywhere", &k24, "  1 : 02 : 03  ", 3723},
        ParseCase{"milliseconds", &k24, "0:00:01.250", 1.25},
        ParseCase{"designatorIn24Locale", &k24, "12:05:00 AM", 300},
        ParseCase{"designatorFirst", &k24, "pm 1:00", 13 * 3600},
        ParseCase{"lowerCaseDesignator", &k12, "1:00:00 pm", 13 * 3600},
        ParseCase{"twentyFourHourIn12Locale", &k12, "13:00:00", 13 * 3600},
        ParseCase{"empty", &k24, "", -1}, ParseCase{"blank", &k24, "   ", -1},
        ParseCase{"word", &k24, "soon", -1}, ParseCase{"hour24", &k24, "24:00:00", -1},
        ParseCase{"minute60", &k24, "0:60:00", -1}, ParseCase{"second60", &k24, "0:00:60", -1},
        ParseCase{"ms1000", &k24, "0:00:00.1000", -1},
        ParseCase{"designatorHour0", &k24, "0:00 AM", -1},
        ParseCase{"designatorHour13", &k24, "13:00 PM", -1},
        ParseCase{"twoDesignators", &k24, "AM 1:00 PM", -1},
        ParseCase{"trailingJunk", &k24, "1:00:00x", -1},
        ParseCase{"missingMinutes", &k24, "1:", -1}, ParseCase{"sign", &k24, "-1:00", -1},
        ParseCase{"hugeNumber", &k24, "99999999999999999999", -1},
        ParseCase{"fourParts", &k24, "1:02:03:04", -1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DayFractionTest, RoundsToWholeMillisecondsWithinOneDay) {
    EXPECT_EQ(korvane::DayFractionToMilliseconds(Seconds(3723)), 3723000);
    EXPECT_EQ(korvane::DayFractionToMilliseconds(0.0), 0);
    EXPECT_EQ(korvane::DayFractionToMilliseconds(1.0 + Seconds(1)), 1000);
    EXPECT_EQ(korvane::DayFractionToMilliseconds(86399999.0 / 86400000.0), 86399999);
    EXPECT_EQ(korvane::DayFractionToMilliseconds(std::nan("")), 0);
}

} // namespace

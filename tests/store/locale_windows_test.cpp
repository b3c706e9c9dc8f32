// The clock-time text follows the Windows locale's long time format.
#include "store/clock_time.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

TEST(LocaleWindowsTest, UsEnglishWritesTwelveHourTimes) {
    wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
    GetUserDefaultLocaleName(name, LOCALE_NAME_MAX_LENGTH);
    if (std::wstring(name) != L"en-US") {
        GTEST_SKIP() << "the user's locale here is not en-US";
    }
    const korvane::TimeFormat format = korvane::LocaleTimeFormat();
    EXPECT_TRUE(format.twelveHour);
    EXPECT_EQ(format.separator, ":");
    EXPECT_EQ(format.decimalSeparator, ".");
    const double fiveAfterOne = (13 * 3600 + 5 * 60) / 86400.0;
    EXPECT_EQ(korvane::FormatClockTime(fiveAfterOne, format), "1:05:00 PM");
    EXPECT_NEAR(korvane::ParseClockTime("1:05:00 PM", format), fiveAfterOne, 1e-12);
}

TEST(LocaleWindowsTest, TheUsersFormatReadsBackWhatItWrites) {
    const korvane::TimeFormat format = korvane::LocaleTimeFormat();
    for (const int seconds : {0, 59, 3600 + 1, 12 * 3600, 23 * 3600 + 59 * 60 + 59}) {
        const std::string text = korvane::FormatClockTime(seconds / 86400.0, format);
        EXPECT_NEAR(korvane::ParseClockTime(text, format), seconds / 86400.0, 1e-9) << text;
    }
}

} // namespace

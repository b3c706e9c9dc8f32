#include "app/local_time.h"

#include <cstdio>

namespace korvane {

namespace {

int Milliseconds(WallClock::time_point t) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch());
    return static_cast<int>(((ms.count() % 1000) + 1000) % 1000);
}

std::time_t Seconds(WallClock::time_point t) {
    return WallClock::to_time_t(std::chrono::floor<std::chrono::seconds>(t));
}

} // namespace

std::string LocalDateTime(WallClock::time_point t) {
    const std::tm c = LocalCalendar(Seconds(t));
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", c.tm_year + 1900,
                  c.tm_mon + 1, c.tm_mday, c.tm_hour, c.tm_min, c.tm_sec);
    return text;
}

std::string LocalTimeOfDay(WallClock::time_point t) {
    const std::tm c = LocalCalendar(Seconds(t));
    char text[40];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", c.tm_hour, c.tm_min, c.tm_sec,
                  Milliseconds(t));
    return text;
}

std::string UtcFileStamp(WallClock::time_point t) {
    const std::tm c = UtcCalendar(Seconds(t));
    char text[40];
    std::snprintf(text, sizeof text, "%04d%02d%02d-%02d%02d%02d%03d", c.tm_year + 1900,
                  c.tm_mon + 1, c.tm_mday, c.tm_hour, c.tm_min, c.tm_sec, Milliseconds(t));
    return text;
}

} // namespace korvane

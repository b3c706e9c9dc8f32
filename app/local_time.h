#pragma once

// Clock readings as people and file names show them.

#include <chrono>
#include <ctime>
#include <string>

namespace korvane {

using WallClock = std::chrono::system_clock;

// "YYYY-MM-DD HH:MM:SS" in local time.
std::string LocalDateTime(WallClock::time_point t);
// "HH:MM:SS.mmm" in local time.
std::string LocalTimeOfDay(WallClock::time_point t);
// "YYYYMMDD-HHMMSSmmm" in UTC: sorts in time order whatever the time zone did.
std::string UtcFileStamp(WallClock::time_point t);

// The calendar parts of a time, one implementation per platform.
std::tm LocalCalendar(std::time_t t);
std::tm UtcCalendar(std::time_t t);

} // namespace korvane

#pragma once

#include "app/launch_report.h"
#include "app/local_time.h"
#include "store/file_io.h"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace korvane {

inline constexpr std::size_t kKeptReports = 50;

// Writes the report of one run while it goes, a line per item, so that a
// run ended from outside still tells how far it came; keeps only the newest
// reports. A report that cannot be written costs the run nothing: one line
// on stderr, and the run goes on without it.
class LaunchJournal {
  public:
    using Clock = std::function<WallClock::time_point()>;

    LaunchJournal(const std::filesystem::path& folder, std::string_view batch,
                  std::string_view origin, Clock clock = WallClock::now,
                  std::size_t keep = kKeptReports);
    LaunchJournal(const LaunchJournal&) = delete;
    LaunchJournal& operator=(const LaunchJournal&) = delete;

    // The local time of day the next line will carry.
    std::string Now() const;
    void Item(const ItemRecord& item);
    void End(std::string_view end);

    // The report file; empty when there is none (a report that could not
    // be begun leaves no empty file behind).
    const std::filesystem::path& File() const { return file_; }

  private:
    void Append(const std::string& line);
    void GiveUp(const std::string& why);

    Clock clock_;
    std::filesystem::path file_;
    GrowingFile out_;
    std::size_t written_ = 0;
};

} // namespace korvane

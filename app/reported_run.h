#pragma once

#include "app/launch_journal.h"
#include "app/runner.h"

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

// Who started a run; the report says it in these words.
inline constexpr std::string_view kFromEditor = "editor";
inline constexpr std::string_view kFromStartupMenu = "startup menu";
inline constexpr std::string_view kFromCountdown = "startup menu countdown";
inline constexpr std::string_view kFromCommand = "command";

// How a report's end says that the batch went during its run.
inline constexpr const char* kBatchGoneWords =
    ": the batch is gone, another program renamed or deleted it";

struct RunSummary {
    int started = 0;
    int skipped = 0;
    int notFound = 0;
    int failed = 0;
    std::vector<ItemRecord> problems; // the items not found or not started, in order
    bool cancelled = false;           // stopped from outside during a pause or a wait
    bool batchGone = false;           // another program renamed or deleted it meanwhile
    std::string end;                  // how the run ended, in words
    std::filesystem::path report;     // empty when none was written

    bool AllStarted() const { return notFound == 0 && failed == 0 && !batchGone; }
};

struct ReportedRunOptions {
    std::string_view origin = kFromCommand;
    std::FILE* echo = nullptr; // a line per item goes here too, when given
    LaunchJournal::Clock clock = WallClock::now;
};

// Runs the batch as LaunchBatch does, writing the run's report as it goes.
// Throws what LaunchBatch throws, once the report has said so.
RunSummary LaunchReported(const ProgramFiles& files, std::string_view batch,
                          const ReportedRunOptions& options, RunnerHooks hooks = {});

// What a report read back says, counted as the run counted it.
RunSummary SummaryOf(const LaunchReport& report);

// The line a terminal shows for an item, and for the run's end.
std::string ItemLine(std::string_view batch, const ItemRecord& item);
std::string EndLine(std::string_view batch, const RunSummary& summary);

} // namespace korvane

#include "app/reported_run.h"

#include <exception>

namespace korvane {

namespace {

void Count(RunSummary& summary, const ItemRecord& item) {
    switch (item.outcome) {
    case ItemOutcome::Started:
        ++summary.started;
        break;
    case ItemOutcome::Skipped:
        ++summary.skipped;
        break;
    case ItemOutcome::Paused:
    case ItemOutcome::Waited:
        break;
    case ItemOutcome::NotFound:
        ++summary.notFound;
        break;
    case ItemOutcome::FailedToStart:
        ++summary.failed;
        break;
    }
    if (item.outcome == ItemOutcome::NotFound || item.outcome == ItemOutcome::FailedToStart) {
        summary.problems.push_back(item);
    }
}

void Echo(std::FILE* to, const std::string& line) {
    if (to) {
        std::fprintf(to, "%s\n", line.c_str());
        std::fflush(to);
    }
}

} // namespace

RunSummary SummaryOf(const LaunchReport& report) {
    RunSummary summary;
    for (const ItemRecord& item : report.items) {
        Count(summary, item);
    }
    summary.end = report.end;
    summary.batchGone = report.end.find(kBatchGoneWords) != std::string::npos;
    summary.report = report.file;
    return summary;
}

std::string ItemLine(std::string_view batch, const ItemRecord& item) {
    std::string line = std::string(batch) + ", item " + std::to_string(item.index + 1) + ": " +
                       std::string(OutcomeWord(item.outcome));
    if (item.outcome == ItemOutcome::Paused || item.outcome == ItemOutcome::Waited) {
        return line + " " + item.detail; // "paused 5 s", "waited for its window: ..."
    }
    line += " " + item.name;
    if (item.processId > 0) {
        line += " (process " + std::to_string(item.processId) + ")";
    }
    // A started item's detail is its file: the name says enough here.
    if (item.outcome != ItemOutcome::Started && !item.detail.empty()) {
        line += ": " + item.detail;
    }
    return line;
}

std::string EndLine(std::string_view batch, const RunSummary& summary) {
    std::string line = std::string(batch) + ": " + summary.end + "; " +
                       std::to_string(summary.started) + " started";
    if (summary.failed > 0) {
        line += ", " + std::to_string(summary.failed) + " failed to start";
    }
    if (summary.notFound > 0) {
        line += ", " + std::to_string(summary.notFound) + " not found";
    }
    if (summary.skipped > 0) {
        line += ", " + std::to_string(summary.skipped) + " skipped";
    }
    return line;
}

RunSummary LaunchReported(const ProgramFiles& files, std::string_view batchName,
                          const ReportedRunOptions& options, RunnerHooks hooks) {
    // Our own copy: the caller's text may change while events run between items.
    const std::string batch(batchName);
    RunSummary summary;
    LaunchJournal journal(ReportFolder(files.folder), batch, options.origin, options.clock);
    summary.report = journal.File();
    int reached = -1;
    hooks.item = [&, next = std::move(hooks.item)](const ItemRecord& item) {
        ItemRecord timed = item;
        timed.time = journal.Now();
        reached = item.index;
        Count(summary, timed);
        journal.Item(timed);
        Echo(options.echo, ItemLine(batch, timed));
        next(timed);
    };
    RunEnd end = RunEnd::Finished;
    try {
        end = LaunchBatch(files, batch, hooks);
    } catch (const std::exception& error) {
        // Reading or decoding the item after the last one reached failed.
        summary.end = "stopped at item " + std::to_string(reached + 2) + ": " + error.what();
        journal.End(summary.end);
        summary.report = journal.File();
        Echo(options.echo, EndLine(batch, summary));
        throw;
    }
    summary.cancelled = end == RunEnd::Cancelled;
    summary.batchGone = end == RunEnd::BatchGone;
    summary.end = end == RunEnd::NotFound
                      ? "stopped at item " + std::to_string(summary.problems.back().index + 1) +
                            ", which was not found"
                  : summary.cancelled ? "cancelled after item " + std::to_string(reached + 1)
                  : summary.batchGone
                      ? "stopped before item " + std::to_string(reached + 2) + kBatchGoneWords
                      : std::string("finished");
    journal.End(summary.end);
    summary.report = journal.File(); // none, when it could not be written
    Echo(options.echo, EndLine(batch, summary));
    return summary;
}

} // namespace korvane

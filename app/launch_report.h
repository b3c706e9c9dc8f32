#pragma once

// What a run of a batch did, item by item, as kept in the state folder: one
// plain text file per run, newest last, for people to read and for the
// editor's "Last launch".

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

enum class ItemOutcome {
    Started,
    Skipped,       // switched off, or of a kind this program does not know
    Paused,        // an active pause, waited out
    NotFound,      // an active application whose folder holds no file: the run stops
    FailedToStart, // the system could not start it: the run goes on
    Waited,        // a started item waited for: its detail says for what and how it went
};

// The word a report line and a terminal line use; nullopt for a word that is none.
std::string_view OutcomeWord(ItemOutcome outcome);
std::optional<ItemOutcome> OutcomeFromWord(std::string_view word);

struct ItemRecord {
    int index = 0; // zero-based position in the batch
    ItemOutcome outcome = ItemOutcome::Started;
    std::string name;        // what the user knows it by
    long long processId = 0; // of what started, when the system says
    std::string detail;      // the file, the folder that held none, the system's reason, a length
    std::string time;        // local time of day, "HH:MM:SS.mmm"
    bool operator==(const ItemRecord&) const = default;
};

// One run as read back from its file.
struct LaunchReport {
    std::string batch;
    std::string origin; // who started it: "editor", "startup menu", ...
    std::string began;  // local date and time, "YYYY-MM-DD HH:MM:SS"
    long long processId = 0;
    std::vector<ItemRecord> items;
    // How the run ended and when; empty when it never said (it was ended
    // from outside, or is still running).
    std::string endTime;
    std::string end;
    std::filesystem::path file;
};

// The folder of the reports in a state folder.
std::filesystem::path ReportFolder(const std::filesystem::path& stateFolder);

// The lines of a report file.
std::string ReportHeader(std::string_view batch, std::string_view origin, std::string_view began,
                         long long processId);
std::string ReportItemLine(const ItemRecord& item);
std::string ReportEndLine(std::string_view time, std::string_view end);
// Reads a report's text; nullopt when it is not one. Lines it does not
// understand are passed over, so that a later version's reports still read.
std::optional<LaunchReport> ParseReport(std::string_view text);

// The report files of a folder (only names this program gives), newest first.
std::vector<std::filesystem::path> ListReports(const std::filesystem::path& folder);
// The newest report of a batch (named ignoring case and blanks at either
// end); nullopt when there is none.
std::optional<LaunchReport> LastLaunchOf(const std::filesystem::path& folder,
                                         std::string_view batch);

// Whether a file name is one this program gives its reports.
bool IsReportFileName(std::string_view name);

} // namespace korvane

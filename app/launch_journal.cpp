#include "app/launch_journal.h"

#include "app/this_process.h"
#include "store/utf8.h"

#include <cstdio>
#include <system_error>

namespace fs = std::filesystem;

namespace korvane {

namespace {

// The oldest reports go, beyond the newest keep; a run still being written
// by another process may go too, which costs it only its report.
void Prune(const fs::path& folder, std::size_t keep, const fs::path& own) {
    const std::vector<fs::path> reports = ListReports(folder);
    std::size_t kept = 0;
    for (const fs::path& file : reports) {
        if (file == own || kept < keep) {
            ++kept;
            continue;
        }
        try {
            RemoveEntry(file); // another process may have removed it first
        } catch (const FileError&) {
        }
    }
}

} // namespace

LaunchJournal::LaunchJournal(const fs::path& folder, std::string_view batch,
                             std::string_view origin, Clock clock, std::size_t keep)
    : clock_(std::move(clock)) {
    const auto began = clock_();
    try {
        MakeFolders(folder);
    } catch (const FileError& error) {
        GiveUp(std::string("cannot make the folder for it: ") + error.what());
        return;
    }
    const std::string stem = UtcFileStamp(began) + "-" + std::to_string(OwnProcessId());
    fs::path file = folder / (stem + ".txt");
    for (int n = 2; KindOf(file) != EntryKind::Missing && n < 100; ++n) {
        file = folder / (stem + "-" + std::to_string(n) + ".txt");
    }
    try {
        out_.Create(file);
    } catch (const FileError& error) {
        GiveUp(std::string("cannot write it: ") + error.what());
        return;
    }
    file_ = file;
    Append(ReportHeader(batch, origin, LocalDateTime(began), OwnProcessId()));
    if (!file_.empty()) {
        Prune(folder, keep == 0 ? 1 : keep, file_);
    }
}

std::string LaunchJournal::Now() const {
    return LocalTimeOfDay(clock_());
}

void LaunchJournal::Item(const ItemRecord& item) {
    Append(ReportItemLine(item));
}

void LaunchJournal::End(std::string_view end) {
    Append(ReportEndLine(Now(), end));
    out_.Close();
}

void LaunchJournal::Append(const std::string& line) {
    if (!out_.IsOpen()) {
        return;
    }
    // Written at once: a run ended from outside keeps what it did.
    try {
        out_.Append(line);
        written_ += line.size();
    } catch (const FileError& error) {
        GiveUp(std::string("cannot write it: ") + error.what());
    }
}

void LaunchJournal::GiveUp(const std::string& why) {
    out_.Close();
    if (!file_.empty() && written_ == 0) {
        // Nothing in it: no empty report is left for anyone to open.
        try {
            RemoveEntry(file_);
        } catch (const FileError&) {
        }
        file_.clear();
    }
    std::fprintf(stderr, "korvane: the launch goes on without its report: %s\n", why.c_str());
    std::fflush(stderr);
}

} // namespace korvane

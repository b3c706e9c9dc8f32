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
        std::error_code ec;
        fs::remove(file, ec); // another process may have removed it first
    }
}

} // namespace

LaunchJournal::LaunchJournal(const fs::path& folder, std::string_view batch,
                             std::string_view origin, Clock clock, std::size_t keep)
    : clock_(std::move(clock)) {
    const auto began = clock_();
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) {
        GiveUp("cannot make " + utf8::FromPath(folder) + ": " + ec.message());
        return;
    }
    const std::string stem = UtcFileStamp(began) + "-" + std::to_string(OwnProcessId());
    fs::path file = folder / (stem + ".txt");
    for (int n = 2; fs::exists(file, ec) && n < 100; ++n) {
        file = folder / (stem + "-" + std::to_string(n) + ".txt");
    }
    out_.open(file, std::ios::binary | std::ios::trunc);
    if (!out_) {
        GiveUp("cannot write " + utf8::FromPath(file));
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
    if (out_.is_open()) {
        out_.close();
    }
}

void LaunchJournal::Append(const std::string& line) {
    if (!out_.is_open()) {
        return;
    }
    // Written at once: a run ended from outside keeps what it did.
    out_.write(line.data(), static_cast<std::streamsize>(line.size()));
    out_.flush();
    if (!out_) {
        GiveUp("cannot write " + utf8::FromPath(file_));
    }
}

void LaunchJournal::GiveUp(const std::string& why) {
    if (out_.is_open()) {
        out_.close();
    }
    std::fprintf(stderr, "korvane: the launch goes on without its report: %s\n", why.c_str());
    std::fflush(stderr);
}

} // namespace korvane

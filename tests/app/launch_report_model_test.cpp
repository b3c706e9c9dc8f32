// Reports written by the journal read back as they were written, whatever
// the names of batches, items and files hold, and whatever a run did.
#include "app/launch_journal.h"
#include "app/launch_report.h"
#include "test_support.h"

#include <gtest/gtest.h>
#include <rapidcheck.h>
#include <rapidcheck/gtest.h>

#include <chrono>

namespace fs = std::filesystem;
using korvane::ItemOutcome;
using korvane::ItemRecord;
using korvane::test::ReadFile;
using korvane::test::TempDir;

namespace {

// Tabs and line ends that would split a line, escapes that look like the
// report's own, blanks, brackets, non-ASCII, bytes that are not UTF-8.
rc::Gen<std::string> HostileText() {
    static const std::vector<std::string> fragments = {
        " ",     "\t",    "\n",   "\r",   "\r\n", "\\", "\\t",  "\\x4",
        "\\x41", "\\\\n", "[",    "]",    "=",    "\"", "end",  "-",
        "ü",     "Ж",     "\xff", "\x01", "\x7f", "a",  "Work", std::string(300, 'n')};
    return rc::gen::map(rc::gen::container<std::vector<std::string>>(rc::gen::elementOf(fragments)),
                        [](const std::vector<std::string>& parts) {
                            std::string out;
                            for (const auto& p : parts) {
                                out += p;
                            }
                            return out;
                        });
}

rc::Gen<ItemRecord> AnItem() {
    return rc::gen::build<ItemRecord>(
        rc::gen::set(&ItemRecord::index, rc::gen::inRange(0, 5000)),
        rc::gen::set(&ItemRecord::outcome,
                     rc::gen::element(ItemOutcome::Started, ItemOutcome::Skipped,
                                      ItemOutcome::Paused, ItemOutcome::NotFound,
                                      ItemOutcome::FailedToStart)),
        rc::gen::set(&ItemRecord::name, HostileText()),
        rc::gen::set(&ItemRecord::processId, rc::gen::inRange<long long>(0, 4'000'000)),
        rc::gen::set(&ItemRecord::detail, HostileText()));
}

RC_GTEST_PROP(LaunchReportModel, WhatTheJournalWritesReadsBackAsItWas, ()) {
    const TempDir dir;
    const std::string batch = *HostileText();
    const std::string origin = *rc::gen::element<std::string>("editor", "command");
    const auto items = *rc::gen::container<std::vector<ItemRecord>>(AnItem());
    const bool ended = *rc::gen::arbitrary<bool>();
    const std::string end = *HostileText();

    auto now = std::chrono::system_clock::time_point(std::chrono::hours(24 * 365 * 40));
    korvane::LaunchJournal journal(dir / "Reports", batch, origin, [&] { return now; });
    std::vector<ItemRecord> model;
    for (ItemRecord item : items) {
        now += std::chrono::milliseconds(1234);
        item.time = journal.Now();
        journal.Item(item);
        model.push_back(item);
    }
    if (ended) {
        journal.End(end);
    }

    const auto files = korvane::ListReports(dir / "Reports");
    RC_ASSERT(files.size() == 1u);
    RC_ASSERT(files[0] == journal.File());
    const auto report = korvane::ParseReport(ReadFile(files[0]));
    RC_ASSERT(report.has_value());
    RC_ASSERT(report->batch == batch);
    RC_ASSERT(report->origin == origin);
    RC_ASSERT(report->items == model);
    RC_ASSERT(report->end == (ended ? end : std::string()));
    RC_ASSERT(report->endTime.empty() == !ended);
    // Every line of the file is one record: nothing a name holds breaks one.
    const std::string text = ReadFile(files[0]);
    RC_ASSERT(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) ==
              6 + model.size() + (ended ? 1 : 0));
}

// A report cut off anywhere (the disk filled, the machine went down) reads
// as the lines it has: never a record made of two half lines.
RC_GTEST_PROP(LaunchReportModel, ACutReportReadsAsTheWholeLinesItHolds, ()) {
    const auto items = *rc::gen::container<std::vector<ItemRecord>>(AnItem());
    std::string text = korvane::ReportHeader("B", "command", "2026-01-01 00:00:00", 1);
    std::vector<std::size_t> lineEnds;
    for (const ItemRecord& item : items) {
        text += korvane::ReportItemLine(item);
        lineEnds.push_back(text.size());
    }
    const std::size_t cut = *rc::gen::inRange<std::size_t>(0, text.size() + 1);
    const auto report = korvane::ParseReport(std::string_view(text).substr(0, cut));
    if (cut < std::string_view("Korvane launch report").size()) {
        RC_ASSERT(!report.has_value());
        return;
    }
    RC_ASSERT(report.has_value());
    std::size_t whole = 0;
    while (whole < lineEnds.size() && lineEnds[whole] <= cut) {
        ++whole;
    }
    // The line cut last may still read when only its detail was cut short.
    RC_ASSERT(report->items.size() >= whole);
    RC_ASSERT(report->items.size() <= whole + 1);
    for (std::size_t i = 0; i < whole; ++i) {
        RC_ASSERT(report->items[i] == items[i]);
    }
}

} // namespace

// The reports of runs: their files, how many are kept, which one is a
// batch's last, and what the runner says of each kind of item.
#include "app/launch_journal.h"
#include "app/launch_report.h"
#include "app/problem_notice.h"
#include "app/reported_run.h"
#include "by_hand.h"
#include "store/clock_time.h"
#include "store/errors.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <chrono>

namespace fs = std::filesystem;
using korvane::ItemOutcome;
using korvane::test::ReadFile;
using korvane::test::TempDir;
using korvane::test::WriteFile;

namespace {

using Clock = std::chrono::system_clock;

struct NameCase {
    const char* name;
    const char* file;
    bool report;
};

TEST(LaunchReportTest, OnlyTheProgramsOwnFileNamesAreReports) {
    const NameCase cases[] = {
        {"plain", "20261210-031220123-4711.txt", true},
        {"second in one millisecond", "20261210-031220123-4711-2.txt", true},
        {"another extension", "20261210-031220123-4711.log", false},
        {"short date", "2026121-031220123-4711.txt", false},
        {"no process", "20261210-031220123.txt", false},
        {"letters", "20261210-03122012x-4711.txt", false},
        {"a user's notes", "notes.txt", false},
        {"empty process", "20261210-031220123--2.txt", false},
    };
    for (const NameCase& c : cases) {
        EXPECT_EQ(korvane::IsReportFileName(c.file), c.report) << c.name;
    }
}

TEST(LaunchReportTest, ParsingPassesOverWhatItDoesNotKnow) {
    EXPECT_FALSE(korvane::ParseReport(""));
    EXPECT_FALSE(korvane::ParseReport("batch\tB\n"));
    const auto r = korvane::ParseReport("Korvane launch report\r\nbatch\tB\r\nnew key\tx\r\n"
                                        "\r\n10:00:00.000\t1\tstarted\tA\t12\t/a\r\n"
                                        "10:00:00.001\t0\tstarted\tZero\t-\t\r\n"
                                        "10:00:00.002\t2\texploded\tB\t-\t\r\n"
                                        "10:00:00.003\t3\tskipped\tC\t-\toff\textra\r\n"
                                        "10:00:01.000\tend\tfinished\r\n");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->batch, "B");
    ASSERT_EQ(r->items.size(), 1u);
    EXPECT_EQ(r->items[0].name, "A");
    EXPECT_EQ(r->items[0].processId, 12);
    EXPECT_EQ(r->end, "finished");
    EXPECT_EQ(r->endTime, "10:00:01.000");
}

class JournalTest : public ::testing::Test {
  protected:
    // Each run a second after the one before, as a clock the test sets.
    void Run(const std::string& batch, std::size_t keep = korvane::kKeptReports) {
        now_ += std::chrono::seconds(1);
        korvane::LaunchJournal journal(
            folder(), batch, "editor", [this] { return now_; }, keep);
        journal.Item({.index = 0, .name = "run " + std::to_string(++runs_)});
        journal.End("finished");
    }
    fs::path folder() const { return dir_ / "Reports"; }

    TempDir dir_;
    Clock::time_point now_ = Clock::time_point(std::chrono::hours(24 * 365 * 50));
    int runs_ = 0;
};

TEST_F(JournalTest, OnlyTheNewestReportsAreKeptAndNothingElseIsTouched) {
    WriteFile(folder() / "notes.txt", "mine");
    for (int i = 0; i < 7; ++i) {
        Run("B", 5);
    }
    const auto files = korvane::ListReports(folder());
    ASSERT_EQ(files.size(), 5u);
    // Newest first: runs 7 down to 3.
    for (std::size_t i = 0; i < files.size(); ++i) {
        const auto r = korvane::ParseReport(ReadFile(files[i]));
        ASSERT_TRUE(r);
        EXPECT_EQ(r->items.at(0).name, "run " + std::to_string(7 - i));
    }
    EXPECT_EQ(ReadFile(folder() / "notes.txt"), "mine");
}

TEST_F(JournalTest, TheLastLaunchOfABatchIsItsNewestWhateverOthersCameAfter) {
    Run("Morning");
    Run(" MORNING ");
    Run("Evening");
    Run("Evening");
    const auto last = korvane::LastLaunchOf(folder(), "morning");
    ASSERT_TRUE(last);
    EXPECT_EQ(last->items.at(0).name, "run 2");
    EXPECT_EQ(last->batch, " MORNING ");
    EXPECT_FALSE(korvane::LastLaunchOf(folder(), "Night"));
    EXPECT_FALSE(korvane::LastLaunchOf(dir_ / "nowhere", "Morning"));
}

TEST_F(JournalTest, TwoRunsInOneMillisecondKeepTheirOwnReports) {
    const auto fixed = [this] { return now_; };
    korvane::LaunchJournal a(folder(), "A", "editor", fixed);
    korvane::LaunchJournal b(folder(), "B", "editor", fixed);
    EXPECT_NE(a.File(), b.File());
    // The later of the two is the newer.
    EXPECT_EQ(korvane::ListReports(folder()), (std::vector<fs::path>{b.File(), a.File()}));
}

// The runner's word for each kind of item, in a real program folder.
class ReportedRunTest : public ::testing::Test {
  protected:
    ReportedRunTest() : files_(dir_ / "korvane") { korvane::SetUserTimeFormat({}); }

    void Link(const std::string& n, const std::string& file) {
        WriteFile(dir_ / "Shortcuts" / "5" / n / file, "");
    }

    korvane::RunSummary Launch(const std::vector<std::string>& items,
                               const std::vector<bool>& opens = {}) {
        korvane::test::ByHand(files_).WriteText("B", "ID", "5");
        for (std::size_t i = 0; i < items.size(); ++i) {
            korvane::test::ByHand(files_).WriteText("B", korvane::ItemKey(static_cast<int>(i)),
                                                    items[i]);
        }
        korvane::RunnerHooks hooks;
        std::size_t opened = 0;
        hooks.open = [&](const fs::path&, const fs::path&) {
            korvane::shell::OpenResult r;
            r.started = opened >= opens.size() || opens[opened];
            r.processId = r.started ? 100 + static_cast<long long>(opened) : 0;
            r.failure = r.started ? "" : "Permission denied";
            ++opened;
            return r;
        };
        hooks.sleep = [](std::chrono::milliseconds) {};
        korvane::ReportedRunOptions options;
        options.origin = korvane::kFromEditor;
        return korvane::LaunchReported(files_, "B", options, hooks);
    }

    std::vector<korvane::ItemRecord> Reported() {
        const auto r = korvane::LastLaunchOf(dir_ / "Reports", "B");
        return r ? r->items : std::vector<korvane::ItemRecord>{};
    }

    TempDir dir_;
    korvane::ProgramFiles files_;
};

TEST_F(ReportedRunTest, EachKindOfItemIsReportedInItsOwnWords) {
    Link("1", "Mail.lnk");
    Link("2", "Notes.lnk");
    Link("3", "Chat.lnk");
    const auto summary = Launch({"File;1\\;Active", "File;2\\;Disabled", "Interval;0:01:30;Active",
                                 "Interval;0:00:05;Disabled", "Sound;x;Active", "File;3\\;Active"},
                                {true, false});
    EXPECT_EQ(summary.started, 1);
    EXPECT_EQ(summary.failed, 1);
    EXPECT_EQ(summary.skipped, 3);
    EXPECT_EQ(summary.end, "finished");
    EXPECT_FALSE(summary.AllStarted());
    const auto items = Reported();
    ASSERT_EQ(items.size(), 6u);
    const struct {
        ItemOutcome outcome;
        const char* name;
        const char* detail;
        long long process;
    } expected[] = {
        {ItemOutcome::Started, "Mail", nullptr, 100},
        {ItemOutcome::Skipped, "Notes", "switched off", 0},
        {ItemOutcome::Paused, "pause", "1 min 30 s", 0},
        {ItemOutcome::Skipped, "pause", "switched off", 0},
        {ItemOutcome::Skipped, "item 5",
         "an item of a kind this version does not know: Sound;x;Active", 0},
        {ItemOutcome::FailedToStart, "Chat", "Permission denied", 0},
    };
    for (std::size_t i = 0; i < items.size(); ++i) {
        EXPECT_EQ(items[i].index, static_cast<int>(i));
        EXPECT_EQ(items[i].outcome, expected[i].outcome) << i;
        EXPECT_EQ(items[i].name, expected[i].name) << i;
        if (expected[i].detail) {
            EXPECT_EQ(items[i].detail, expected[i].detail) << i;
        }
        EXPECT_EQ(items[i].processId, expected[i].process) << i;
        EXPECT_EQ(items[i].time.size(), 12u) << items[i].time;
    }
    EXPECT_NE(items[0].detail.find("Mail.lnk"), std::string::npos);

    // What a notification would say of it.
    const korvane::ProblemNotice notice = korvane::MakeProblemNotice("B", summary);
    EXPECT_EQ(notice.summary, "B: 1 of 2 started");
    EXPECT_EQ(notice.body, "Chat did not start: Permission denied");
}

TEST_F(ReportedRunTest, WhereARunStoppedIsSaid) {
    Link("1", "Mail.lnk");
    auto summary = Launch({"File;1\\;Active", "File;77\\;Active", "File;1\\;Active"});
    EXPECT_EQ(summary.end, "stopped at item 2, which was not found");
    ASSERT_EQ(summary.problems.size(), 1u);
    EXPECT_EQ(summary.problems[0].name, "folder 77");
    EXPECT_EQ(Reported().size(), 2u);

    // A pause whose time is no time ends the run with the error, reported first.
    EXPECT_THROW(Launch({"File;1\\;Active", "Interval;soon;Active"}), korvane::ConvertError);
    const auto last = korvane::LastLaunchOf(dir_ / "Reports", "B");
    ASSERT_TRUE(last);
    EXPECT_EQ(last->items.size(), 1u);
    EXPECT_TRUE(last->end.starts_with("stopped at item 2: ")) << last->end;
}

} // namespace

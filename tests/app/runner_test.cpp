#include "app/reported_run.h"
#include "app/runner.h"
#include "by_hand.h"
#include "store/clock_time.h"
#include "store/errors.h"
#include "store/file_io.h"
#include "other_process.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <functional>

namespace fs = std::filesystem;
using korvane::test::TempDir;
using korvane::test::WriteFile;

namespace {

// Records what a run does, in order, instead of doing it.
class RunnerTest : public ::testing::Test {
  protected:
    RunnerTest() : files_(dir_ / "korvane") {
        korvane::SetUserTimeFormat(korvane::TimeFormat{});
        hooks_.open = [this](const fs::path& file, const fs::path& folder) {
            const fs::path rel = fs::relative(file, dir_ / "Shortcuts" / "5");
            // Logged with "/" on every platform.
            log_.push_back("open " + rel.generic_string() + " in " +
                           fs::relative(folder, dir_.path()).generic_string());
            return korvane::shell::OpenResult{.started = true};
        };
        hooks_.sleep = [this](std::chrono::milliseconds ms) {
            log_.push_back("sleep " + std::to_string(ms.count()));
        };
        hooks_.processMessages = [this] { log_.push_back("pump"); };
    }

    // Writes a batch with ID 5; "app:N" is an application whose folder N
    // holds N.lnk, "app-:N" the same switched off, "empty:N" an active item
    // whose folder is empty; anything else is written as the entry itself.
    void MakeBatch(const std::string& name, const std::vector<std::string>& items) {
        korvane::test::ByHand(files_).WriteText(name, "ID", "5");
        for (std::size_t i = 0; i < items.size(); ++i) {
            std::string entry = items[i];
            const auto colon = entry.find(':');
            const std::string kind = entry.substr(0, colon);
            const std::string n = entry.substr(colon + 1);
            if (kind == "app" || kind == "app-") {
                WriteFile(dir_ / "Shortcuts" / "5" / n / (n + ".lnk"), "");
                entry = "File;" + n + "\\;" + (kind == "app" ? "Active" : "Disabled");
            } else if (kind == "empty") {
                fs::create_directories(dir_ / "Shortcuts" / "5" / n);
                entry = "File;" + n + "\\;Active";
            }
            korvane::test::ByHand(files_).WriteText(name, korvane::ItemKey(static_cast<int>(i)),
                                                    entry);
        }
    }

    TempDir dir_;
    korvane::ProgramFiles files_;
    korvane::RunnerHooks hooks_;
    std::vector<std::string> log_;
};

struct BatchCase {
    const char* name;
    std::vector<std::string> items;
    std::vector<std::string> expected;
};

class LaunchBatchTest : public RunnerTest, public ::testing::WithParamInterface<BatchCase> {};

TEST_P(LaunchBatchTest, RunsTheActiveItemsInOrder) {
    MakeBatch("Monday morning", GetParam().items);
    korvane::LaunchBatch(files_, "MONDAY MORNING", hooks_);
    EXPECT_EQ(log_, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, LaunchBatchTest,
    ::testing::Values(
        BatchCase{
            "mixed",
            {"app:1", "Interval;0:00:05;Active", "app-:2", "Interval;0:10:00;Disabled", "app:3"},
            {"open 1/1.lnk in Shortcuts/5/1", "pump", "pump", "sleep 5000", "pump", "pump",
             "open 3/3.lnk in Shortcuts/5/3", "pump"}},
        BatchCase{"longPause", {"Interval;1:02:03;Active"}, {"pump", "sleep 3723000"}},
        BatchCase{"zeroPause", {"Interval;0:00:00;Active"}, {"pump", "sleep 0"}},
        BatchCase{"firstActiveAppHasNoFileEndsTheRun", {"empty:1", "app:2"}, {}},
        BatchCase{"missingFolderEndsTheRunLater",
                  {"app:1", "File;77\\;Active", "app:2"},
                  {"open 1/1.lnk in Shortcuts/5/1", "pump"}},
        BatchCase{"disabledEmptyFolderIsPassedOver",
                  {"File;77\\;Disabled", "app:2"},
                  {"pump", "open 2/2.lnk in Shortcuts/5/2", "pump"}},
        BatchCase{"unknownKindIsPassedOver",
                  {"Note;x;Active", "app:2"},
                  {"pump", "open 2/2.lnk in Shortcuts/5/2", "pump"}},
        BatchCase{"folderOutsideTheBatchEndsTheRun", {"File;..\\..\\;Active", "app:2"}, {}},
        BatchCase{"emptyEntryEndsTheBatch",
                  {"app:1", "", "app:2"},
                  {"open 1/1.lnk in Shortcuts/5/1", "pump"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RunnerTest, GapInTheNumberingEndsTheBatch) {
    MakeBatch("B", {"app:1", "app:2"});
    korvane::test::ByHand(files_).WriteText("B", "Item3", "File;1\\;Active");
    korvane::test::ByHand(files_).RemoveKey("B", "Item1");
    korvane::LaunchBatch(files_, "B", hooks_);
    EXPECT_EQ(log_, (std::vector<std::string>{"open 1/1.lnk in Shortcuts/5/1", "pump"}));
}

TEST_F(RunnerTest, BadPauseStopsTheRunWithTheError) {
    MakeBatch("B", {"app:1", "Interval;later;Active", "app:2"});
    try {
        korvane::LaunchBatch(files_, "B", hooks_);
        FAIL();
    } catch (const korvane::ConvertError& e) {
        EXPECT_STREQ(e.what(), "'later' is not a valid time");
    }
    EXPECT_EQ(log_, (std::vector<std::string>{"open 1/1.lnk in Shortcuts/5/1", "pump"}));
}

TEST_F(RunnerTest, UnknownOrEmptyBatchDoesNothing) {
    korvane::LaunchBatch(files_, "Nobody", hooks_);
    korvane::LaunchBatch(files_, "", hooks_);
    EXPECT_TRUE(log_.empty());
}

TEST_F(RunnerTest, LaunchItemOpensOneApplicationActiveOrNot) {
    MakeBatch("B", {"app:1", "app-:2", "Interval;0:00:05;Active", "empty:4"});
    struct {
        int index;
        std::vector<std::string> expected;
    } cases[] = {{0, {"open 1/1.lnk in Shortcuts/5/1"}},
                 {1, {"open 2/2.lnk in Shortcuts/5/2"}},
                 {2, {}},
                 {3, {}},
                 {4, {}},
                 {-1, {}}};
    for (const auto& c : cases) {
        log_.clear();
        korvane::LaunchItem(files_, "B", c.index, hooks_);
        EXPECT_EQ(log_, c.expected) << c.index;
    }
}

TEST_F(RunnerTest, ItemFolderWithTwoFilesOpensOnlyOne) {
    MakeBatch("B", {"app:1"});
    WriteFile(dir_ / "Shortcuts" / "5" / "1" / "a.lnk", "");
    korvane::LaunchBatch(files_, "B", hooks_);
    EXPECT_EQ(log_, (std::vector<std::string>{"open 1/a.lnk in Shortcuts/5/1", "pump"}));
}

} // namespace

namespace {

// A run whose started items say their process ids and whose waits are logged.
class WaitingRunTest : public RunnerTest {
  protected:
    WaitingRunTest() {
        hooks_.open = [this](const fs::path& file, const fs::path&) {
            log_.push_back("open " + file.filename().string());
            return korvane::shell::OpenResult{.started = true, .processId = ++pid_};
        };
        hooks_.wait = [this](const korvane::ItemWait& wait, long long pid,
                             const std::string& windowClass) {
            log_.push_back("wait " + korvane::EncodeWait(wait) + " pid " + std::to_string(pid) +
                           (windowClass.empty() ? "" : " class " + windowClass));
            if (cancelOnWait_) {
                cancelled_ = true;
            }
            return reply_;
        };
        hooks_.cancelled = [this] { return cancelled_; };
        hooks_.processMessages = [] {};
        hooks_.item = [this](const korvane::ItemRecord& item) { records_.push_back(item); };
    }

    long long pid_ = 100;
    bool cancelled_ = false;
    bool cancelOnWait_ = false;
    korvane::shell::Readiness reply_{korvane::shell::ReadyState::Ready, "it appeared",
                                     std::chrono::milliseconds(2030)};
    std::vector<korvane::ItemRecord> records_;
};

} // namespace

TEST_F(WaitingRunTest, AStartedItemWaitsBeforeTheNextAndSaysHowItWent) {
    MakeBatch("B", {"app:1", "app:2", "app-:3", "app:4"});
    korvane::test::ByHand(files_).WriteText("B", "Wait1", "Window;60");
    korvane::test::ByHand(files_).WriteText("B", "Wait3",
                                            "Ended;5"); // switched off: never waited for
    korvane::test::ByHand(files_).WriteText("B", "Wait4", "Path;90;/run/user/ready");
    korvane::test::ByHand(files_).WriteText("B", "Wait2",
                                            "Teleport;5"); // a later kind: goes on at once
    EXPECT_EQ(korvane::LaunchBatch(files_, "B", hooks_), korvane::RunEnd::Finished);
    EXPECT_EQ(log_,
              (std::vector<std::string>{"open 1.lnk", "wait Window;60 pid 101", "open 2.lnk",
                                        "open 4.lnk", "wait Path;90;/run/user/ready pid 103"}));
    ASSERT_EQ(records_.size(), 6u);
    EXPECT_EQ(records_[1].outcome, korvane::ItemOutcome::Waited);
    EXPECT_EQ(records_[1].index, 0);
    EXPECT_EQ(records_[1].processId, 101);
    EXPECT_EQ(records_[1].detail, "for its window: it appeared after 2.03 s");
    EXPECT_EQ(korvane::ItemLine("B", records_[1]),
              "B, item 1: waited for its window: it appeared after 2.03 s");
}

TEST_F(WaitingRunTest, AnEntrysWindowClassGoesWithItsWindowWait) {
    MakeBatch("B", {"File;9\\;Active", "File;10\\;Active"});
    WriteFile(dir_ / "Shortcuts" / "5" / "9" / "mail.desktop",
              "[Desktop Entry]\nType=Application\nName=Mail\nExec=mail\nStartupWMClass=Thunder\n");
    WriteFile(dir_ / "Shortcuts" / "5" / "10" / "org.example.Notes.desktop",
              "[Desktop Entry]\nType=Application\nName=Notes\nExec=notes\n");
    korvane::test::ByHand(files_).WriteText("B", "Wait9", "Window;60");
    korvane::test::ByHand(files_).WriteText("B", "Wait10", "Window;60");
    korvane::LaunchBatch(files_, "B", hooks_);
    if (korvane::test::kFreedesktop) {
        EXPECT_EQ(log_, (std::vector<std::string>{
                            "open mail.desktop", "wait Window;60 pid 101 class Thunder",
                            "open org.example.Notes.desktop",
                            "wait Window;60 pid 102 class org.example.Notes"}));
    }
}

TEST_F(WaitingRunTest, AnItemThatDidNotStartIsNotWaitedFor) {
    MakeBatch("B", {"app:1", "app:2"});
    korvane::test::ByHand(files_).WriteText("B", "Wait1", "Ended;60");
    hooks_.open = [this](const fs::path& file, const fs::path&) {
        log_.push_back("open " + file.filename().string());
        return korvane::shell::OpenResult{.started = false, .failure = "no such program"};
    };
    korvane::LaunchBatch(files_, "B", hooks_);
    EXPECT_EQ(log_, (std::vector<std::string>{"open 1.lnk", "open 2.lnk"}));
}

TEST_F(WaitingRunTest, WaitDetailsSayHowEachWaitEnded) {
    using korvane::shell::ReadyState;
    struct Row {
        const char* name;
        korvane::ItemWait wait;
        korvane::shell::Readiness readiness;
        std::string expected;
    };
    const std::vector<Row> rows{
        {"ended",
         {korvane::WaitKind::Ended, 60, ""},
         {ReadyState::Ready, "it ended with exit status 3", std::chrono::milliseconds(1000)},
         "until it ended: it ended with exit status 3 after 1 s"},
        {"gave up",
         {korvane::WaitKind::Port, 90, "5432"},
         {ReadyState::TimedOut, "nothing took connections on it", std::chrono::milliseconds(90001)},
         "for port 5432: gave up after 90 s, nothing took connections on it"},
        {"cannot tell",
         {korvane::WaitKind::Window, 60, ""},
         {ReadyState::CannotTell, "there is no display to see windows on",
          std::chrono::milliseconds(60000)},
         "for its window: waited 1 min, as there is no display to see windows on"},
        {"cancelled",
         {korvane::WaitKind::Path, 60, "/mnt/x"},
         {ReadyState::Cancelled, "cancelled", std::chrono::milliseconds(1500)},
         "for /mnt/x: cancelled after 1.5 s"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(korvane::WaitDetail(row.wait, row.readiness), row.expected) << row.name;
    }
}

TEST_F(WaitingRunTest, CancellingDuringAWaitOrAPauseStopsTheRun) {
    MakeBatch("B", {"app:1", "app:2"});
    korvane::test::ByHand(files_).WriteText("B", "Wait1", "Window;60");
    cancelOnWait_ = true;
    reply_ = {korvane::shell::ReadyState::Cancelled, "cancelled", std::chrono::milliseconds(10)};
    EXPECT_EQ(korvane::LaunchBatch(files_, "B", hooks_), korvane::RunEnd::Cancelled);
    EXPECT_EQ(log_, (std::vector<std::string>{"open 1.lnk", "wait Window;60 pid 101"}));

    log_.clear();
    cancelOnWait_ = false;
    cancelled_ = false;
    MakeBatch("P", {"Interval;0:00:05;Active", "app:2"});
    hooks_.sleep = [this](std::chrono::milliseconds) { cancelled_ = true; };
    EXPECT_EQ(korvane::LaunchBatch(files_, "P", hooks_), korvane::RunEnd::Cancelled);
    EXPECT_TRUE(log_.empty());
}

// Another program renames, deletes or replaces the batch while it runs: the
// run stops and says so, rather than finishing as if the rest were done.
TEST_F(WaitingRunTest, ARunStopsWhenItsBatchGoes) {
    const struct {
        const char* name;
        std::function<void(korvane::TIniFile&)> change;
        korvane::RunEnd end;
    } rows[] = {
        {"renamed", [](korvane::TIniFile& c) { c.RenameSection("B", "Bee"); },
         korvane::RunEnd::BatchGone},
        {"deleted", [](korvane::TIniFile& c) { c.RemoveSection("B"); }, korvane::RunEnd::BatchGone},
        {"another under its name", [](korvane::TIniFile& c) { c.WriteText("B", "ID", "6"); },
         korvane::RunEnd::BatchGone},
        {"an item added", [](korvane::TIniFile& c) { c.WriteText("B", "Item3", ""); },
         korvane::RunEnd::Finished},
    };
    for (const auto& row : rows) {
        MakeBatch("B", {"app:1", "app:2", "app:3"});
        log_.clear();
        hooks_.processMessages = [&, done = false]() mutable {
            if (!done) { // after the first item, as another program would
                done = true;
                korvane::TIniFile other(dir_ / "batches.lst");
                row.change(other);
            }
        };
        EXPECT_EQ(korvane::LaunchBatch(files_, "B", hooks_), row.end) << row.name;
        EXPECT_EQ(log_.size(), row.end == korvane::RunEnd::Finished ? 3u : 1u) << row.name;
        korvane::test::ByHand(files_).RemoveSection("Bee");
        korvane::test::ByHand(files_).RemoveSection("B");
    }
}

// A link or a pipe where an item's folder or file should be is refused with
// the reason, never followed or opened; the run goes on with the next item.
TEST_F(WaitingRunTest, ALinkOrAPipeInTheShortcutsTreeIsRefused) {
    if (!korvane::test::kFreedesktop) {
        GTEST_SKIP() << "links and named pipes in folders are POSIX's";
    }
    TempDir elsewhere;
    WriteFile(elsewhere / "1" / "thesis.lnk", "[Shell Link]\nTarget=/bin/true\n");
    MakeBatch("B", {"app:1", "app:2", "app:3", "app:4"});
    const fs::path batch = dir_ / "Shortcuts" / "5";
    fs::remove_all(batch / "1");
    fs::create_directory_symlink(elsewhere / "1", batch / "1");
    fs::remove(batch / "2" / "2.lnk");
    fs::create_symlink(elsewhere / "1" / "thesis.lnk", batch / "2" / "2.lnk");
    fs::remove(batch / "3" / "3.lnk");
    ASSERT_TRUE(korvane::test::MakeNamedPipe(batch / "3" / "3.lnk"));
    EXPECT_EQ(korvane::LaunchBatch(files_, "B", hooks_), korvane::RunEnd::Finished);
    EXPECT_EQ(log_, std::vector<std::string>{"open 4.lnk"});
    ASSERT_EQ(records_.size(), 4u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(records_[i].outcome, korvane::ItemOutcome::FailedToStart) << i;
    }
    EXPECT_NE(records_[0].detail.find(korvane::kSymlinkInside), std::string::npos);
    EXPECT_NE(records_[1].detail.find(korvane::kSymlinkInside), std::string::npos);
    EXPECT_NE(records_[2].detail.find(korvane::kNotRegular), std::string::npos);
    // One item on its own is refused too, with the reason.
    EXPECT_THROW(korvane::LaunchItem(files_, "B", 0, hooks_), korvane::Error);
    EXPECT_EQ(log_.size(), 1u);
}

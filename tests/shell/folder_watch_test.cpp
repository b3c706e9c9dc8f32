#include "other_process.h"
#include "shell/folder_watch.h"
#include "shell/folder_watch_faults.h"
#include "store/ini_file.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <vector>

namespace fs = std::filesystem;
using korvane::FolderWatch;
using Faults = korvane::detail::FolderWatchFaults;
using korvane::test::TempDir;
using korvane::test::WaitFor;
using korvane::test::WriteFile;

namespace {

class FolderWatchTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(tree_ / "12" / "3");
        watch_ = std::make_unique<FolderWatch>(
            tree_, [this] { ++changes_; }, [this](const std::string&) { ++errors_; });
        // Give the worker its first pass over the tree.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }

    // True when at least one change is reported within the time-out.
    bool Reported(const std::function<void()>& act) {
        const int before = changes_;
        act();
        return WaitFor([&] { return changes_ > before; }, std::chrono::seconds(5));
    }
    bool Quiet(const std::function<void()>& act) {
        const int before = changes_;
        act();
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        return changes_ == before;
    }

    // Hands the faults to the watch (again, to take in what changed); false
    // where the platform's watch cannot make them.
    bool Apply() { return Faults::Apply(*watch_, faults_); }

    // Destroys the watch; false when that outlasts the bound (it is still
    // waited for, so that nothing of the watch outlives the test).
    bool DestroyedPromptly() {
        std::atomic<bool> done{false};
        std::thread destroyer([&] {
            watch_.reset();
            done = true;
        });
        const bool prompt = WaitFor([&] { return done.load(); }, std::chrono::seconds(5));
        destroyer.join();
        return prompt;
    }

    TempDir dir_;
    fs::path tree_ = dir_ / "Shortcuts";
    std::atomic<int> changes_{0};
    std::atomic<int> errors_{0};
    Faults faults_; // outlives the watch
    std::unique_ptr<FolderWatch> watch_;
};

using Steps = std::vector<std::function<void()>>;

TEST_F(FolderWatchTest, ReportsNamesAppearingGoingAndMovingAtEveryDepth) {
    struct {
        const char* what;
        std::function<void()> act;
    } cases[] = {
        {"file at the top", [&] { WriteFile(tree_ / "top.txt", ""); }},
        {"file in an item folder", [&] { WriteFile(tree_ / "12" / "3" / "a.lnk", "x"); }},
        {"renamed file",
         [&] { fs::rename(tree_ / "12" / "3" / "a.lnk", tree_ / "12" / "3" / "b.lnk"); }},
        {"deleted file", [&] { fs::remove(tree_ / "12" / "3" / "b.lnk"); }},
        {"new folder", [&] { fs::create_directory(tree_ / "12" / "4"); }},
        {"file in the new folder", [&] { WriteFile(tree_ / "12" / "4" / "c.lnk", ""); }},
        {"deleted folder", [&] { fs::remove_all(tree_ / "12" / "4"); }},
        {"second process",
         [&] { ASSERT_TRUE(korvane::test::CreateFileInAnotherProcess(tree_ / "12" / "p.txt")); }},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(Reported(c.act)) << c.what;
    }
}

TEST_F(FolderWatchTest, AFolderMovedOutOfTheTreeIsNoLongerWatched) {
    if (korvane::test::RunningUnderWine()) {
        // Wine's subtree watch (on inotify) keeps reporting a moved folder's
        // changes under its old name; Windows reports them where they are.
        GTEST_SKIP() << "Wine reports moved folders under their old names";
    }
    fs::create_directories(dir_ / "Trash");
    fs::create_directories(tree_ / "12" / "5" / "deep");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(Reported([&] { fs::rename(tree_ / "12", dir_ / "Trash" / "12"); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(Quiet([&] {
        WriteFile(dir_ / "Trash" / "12" / "3" / "gone.lnk", "");
        fs::create_directory(dir_ / "Trash" / "12" / "5" / "deep" / "new");
        fs::remove_all(dir_ / "Trash" / "12" / "5");
    }));
    // Moved back in, and renamed inside the tree: watched under its new name.
    EXPECT_TRUE(Reported([&] { fs::rename(dir_ / "Trash" / "12", tree_ / "12"); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(Reported([&] { fs::rename(tree_ / "12", tree_ / "13"); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(Reported([&] { WriteFile(tree_ / "13" / "3" / "back.lnk", ""); }));
    EXPECT_TRUE(Reported([&] { fs::create_directory(tree_ / "13" / "3" / "sub"); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(Reported([&] { WriteFile(tree_ / "13" / "3" / "sub" / "x.lnk", ""); }));
}

TEST_F(FolderWatchTest, WritesIntoFilesAreNoChange) {
    WriteFile(tree_ / "12" / "3" / "a.lnk", "one");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_TRUE(Quiet([&] {
        std::ofstream out(tree_ / "12" / "3" / "a.lnk", std::ios::app);
        out << "more";
    }));
}

TEST_F(FolderWatchTest, CatalogueWritesBesideTheTreeAreNoChange) {
    EXPECT_TRUE(Quiet([&] {
        korvane::TIniFile catalogue(dir_ / "batches.lst");
        catalogue.WriteText("A", "Item0", "File;3\\;Disabled");
        catalogue.WriteText("A", "Item0", "File;3\\;Active");
    }));
}

TEST_F(FolderWatchTest, SurvivesTheTreeBeingDeletedAndMadeAgain) {
    EXPECT_TRUE(Reported([&] { fs::remove_all(tree_); }));
    EXPECT_TRUE(Reported([&] { fs::create_directories(tree_ / "7"); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(Reported([&] { WriteFile(tree_ / "7" / "x.lnk", ""); }));
}

TEST_F(FolderWatchTest, FoldsABurstIntoFewReports) {
    const int before = changes_;
    for (int i = 0; i < 1000; ++i) {
        WriteFile(tree_ / "12" / ("f" + std::to_string(i)), "");
    }
    ASSERT_TRUE(WaitFor([&] { return changes_ > before; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_LE(changes_ - before, 50);
}

TEST_F(FolderWatchTest, StopsCleanlyWhileChangesArrive) {
    std::atomic<bool> run{true};
    std::thread writer([&] {
        for (int i = 0; run; ++i) {
            WriteFile(tree_ / "12" / ("w" + std::to_string(i % 50)), "");
            fs::remove(tree_ / "12" / ("w" + std::to_string((i + 25) % 50)));
        }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    watch_.reset(); // must return while the writer goes on
    run = false;
    writer.join();
    SUCCEED();
}

// Narrowed to one batch's folder, the watch still tells of everything there
// and at the top, on every platform; on inotify, where each folder costs a
// watch, the other batches' folders are no longer watched.
TEST_F(FolderWatchTest, ANarrowedWatchFollowsItsSubtree) {
    fs::create_directories(tree_ / "40" / "1");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    watch_->Narrow(tree_ / "40");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(Reported([&] { WriteFile(tree_ / "40" / "1" / "a.lnk", ""); }));
    EXPECT_TRUE(Reported([&] { fs::create_directory(tree_ / "40" / "2"); }));
    EXPECT_TRUE(Reported([&] { WriteFile(tree_ / "40" / "2" / "b.lnk", ""); }));
    EXPECT_TRUE(Reported([&] { fs::create_directory(tree_ / "41"); }));
    if (korvane::test::kFreedesktop) {
        EXPECT_TRUE(Quiet([&] { WriteFile(tree_ / "12" / "3" / "elsewhere.lnk", ""); }));
    }
    // Narrowed to a batch folder not made yet: it is watched once it is.
    watch_->Narrow(tree_ / "77");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(Reported([&] { fs::create_directories(tree_ / "77" / "5"); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(Reported([&] { WriteFile(tree_ / "77" / "5" / "c.lnk", ""); }));
    if (korvane::test::kFreedesktop) {
        EXPECT_TRUE(Quiet([&] { WriteFile(tree_ / "40" / "1" / "d.lnk", ""); }));
    }
}

// Whatever happened while the kernel's queue was full went unseen: the
// overflow is reported, and the folders are watched as they are now.
TEST_F(FolderWatchTest, AfterAnOverflowTheTreeIsWatchedAsItIsNow) {
    if (!Apply()) {
        GTEST_SKIP() << "the platform's watch makes no overflow on demand";
    }
    struct {
        const char* what;
        std::function<void()> unseen;
        Steps afterwards; // each reported
    } cases[] = {
        {"folders made",
         [&] { fs::create_directories(tree_ / "20" / "1"); },
         {[&] { WriteFile(tree_ / "20" / "1" / "a.lnk", ""); },
          [&] { fs::create_directory(tree_ / "20" / "1" / "2"); },
          [&] { WriteFile(tree_ / "20" / "1" / "2" / "b.lnk", ""); }}},
        {"a folder renamed",
         [&] { fs::rename(tree_ / "12", tree_ / "13"); },
         {[&] { fs::create_directory(tree_ / "13" / "3" / "sub"); },
          [&] { WriteFile(tree_ / "13" / "3" / "sub" / "c.lnk", ""); }}},
        {"the tree deleted and made again",
         [&] {
             fs::remove_all(tree_);
             fs::create_directories(tree_ / "30" / "2");
         },
         {[&] { WriteFile(tree_ / "30" / "2" / "d.lnk", ""); },
          [&] { fs::create_directory(tree_ / "31"); },
          [&] { WriteFile(tree_ / "31" / "e.lnk", ""); }}},
    };
    for (const auto& c : cases) {
        faults_.loss = Faults::Loss::Losing;
        c.unseen();
        faults_.loss = Faults::Loss::Overflowed;
        EXPECT_TRUE(Reported([&] { Apply(); })) << c.what << ": the overflow";
        for (const auto& step : c.afterwards) {
            EXPECT_TRUE(Reported(step)) << c.what;
        }
    }
    EXPECT_TRUE(DestroyedPromptly());
}

// A failing wait or read on inotify is reported as a change (something may
// have gone unseen), and the watch goes on with a new instance.
TEST_F(FolderWatchTest, GoesOnWhenInotifyFails) {
    faults_.retryEvery = std::chrono::milliseconds(10);
    if (!Apply()) {
        GTEST_SKIP() << "the platform's watch makes no failures on demand";
    }
    struct {
        const char* what;
        Faults::Break way;
        Steps before; // each reported
        std::function<void()> trigger;
        Steps afterwards; // each reported
    } cases[] = {
        {"a wait fails",
         Faults::Break::Poll,
         {},
         [] {},
         {[&] { WriteFile(tree_ / "12" / "3" / "a.lnk", ""); },
          [&] { fs::create_directory(tree_ / "12" / "4"); },
          [&] { WriteFile(tree_ / "12" / "4" / "b.lnk", ""); }}},
        {"a read fails",
         Faults::Break::Read,
         {},
         [&] { WriteFile(tree_ / "12" / "c.lnk", ""); },
         {[&] { fs::remove(tree_ / "12" / "3" / "a.lnk"); },
          [&] { fs::remove_all(tree_ / "12" / "4"); }}},
        {"a wait fails while the tree is gone",
         Faults::Break::Poll,
         {[&] { fs::remove_all(tree_); }},
         [] {},
         {[&] { fs::create_directories(tree_ / "5"); },
          [&] { WriteFile(tree_ / "5" / "d.lnk", ""); }}},
    };
    for (const auto& c : cases) {
        for (const auto& step : c.before) {
            ASSERT_TRUE(Reported(step)) << c.what;
        }
        EXPECT_TRUE(Reported([&] {
            faults_.broken = c.way;
            Apply();
            c.trigger();
        })) << c.what
            << ": the failure";
        for (const auto& step : c.afterwards) {
            EXPECT_TRUE(Reported(step)) << c.what;
        }
    }
    EXPECT_EQ(errors_, 0);
    EXPECT_TRUE(DestroyedPromptly());
}

// While no new instance can be made, the watch says so once, tries again
// after a pause, and recovers.
TEST_F(FolderWatchTest, TriesAgainUntilInotifyCanBeMadeAgain) {
    faults_.retryEvery = std::chrono::milliseconds(10);
    faults_.failingStarts = 3;
    if (!Apply()) {
        GTEST_SKIP() << "the platform's watch makes no failures on demand";
    }
    EXPECT_TRUE(Reported([&] {
        faults_.broken = Faults::Break::Poll;
        Apply();
    }));
    EXPECT_EQ(errors_, 1);
    EXPECT_EQ(faults_.starts, 4);
    EXPECT_TRUE(Reported([&] { WriteFile(tree_ / "12" / "3" / "a.lnk", ""); }));
}

// Tries are a pause apart, not made in a loop, and the pause ends when the
// watch is destroyed.
TEST_F(FolderWatchTest, StopsPromptlyWhileInotifyCannotBeMadeAgain) {
    faults_.retryEvery = std::chrono::hours(1);
    faults_.failingStarts = 1000;
    faults_.broken = Faults::Break::Poll;
    if (!Apply()) {
        GTEST_SKIP() << "the platform's watch makes no failures on demand";
    }
    ASSERT_TRUE(WaitFor([&] { return errors_ > 0; }));
    EXPECT_TRUE(DestroyedPromptly());
    EXPECT_EQ(faults_.starts, 1);
}

TEST(FolderWatchStartTest, AMissingTreeIsWatchedOnceItAppears) {
    TempDir dir;
    std::atomic<int> changes{0};
    FolderWatch watch(dir / "Shortcuts" / "", [&] { ++changes; });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    fs::create_directories(dir / "Shortcuts");
    ASSERT_TRUE(WaitFor([&] { return changes > 0; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const int before = changes;
    fs::create_directories(dir / "Shortcuts" / "9");
    EXPECT_TRUE(WaitFor([&] { return changes > before; }));
}

} // namespace

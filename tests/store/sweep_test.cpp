// What the sweep takes: folders no entry names that hold only what the
// program makes there, and reports that never got a line; nothing else.
#include "by_hand.h"
#include "store/sweep.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using korvane::test::TempDir;
using korvane::test::WriteFile;

namespace {

const std::string kLink = "[Shell Link]\nTarget=/bin/true\n";

TEST(SweepTest, TakesWhatKilledEditsLeftAndNothingElse) {
    TempDir dir;
    korvane::ProgramFiles files(dir / "korvane");
    WriteFile(dir / "batches.lst", "[A]\r\nID=1\r\nItem0=File;3\\;Active\r\n"
                                   "[Hand made]\r\nItem0=File;4\\;Active\r\n");
    const fs::path s = dir / "Shortcuts";
    const fs::path outside = dir / "elsewhere";
    WriteFile(outside / "7" / "x.lnk", kLink);
    const struct {
        const char* path; // made below Shortcuts/
        const char* content;
        bool goes;
    } rows[] = {
        {"1/3/tool.lnk", kLink.c_str(), false}, // named by A
        {"1/5/tool.lnk", kLink.c_str(), true},  // A's, named by no entry
        {"1/6/", nullptr, true},                // an empty item folder
        {"1/7/notes.txt", "mine", false},       // the user's file
        {"1/8/a.lnk", kLink.c_str(), false},    // two links: not what the program makes
        {"1/8/b.lnk", kLink.c_str(), false},
        {"1/9/.tool.lnk.tmp-12-0", "half", true}, // a killed write's temporary
        {"1/10/tool.lnk", kLink.c_str(), true},
        {"1/10/.tool.lnk.tmp-13-1", "half", true},
        {"1/notes/x.lnk", kLink.c_str(), false},          // no name the program gives
        {"40/2/tool.desktop", "[Desktop Entry]\n", true}, // a batch folder nobody names
        {"41/2/tool.lnk", kLink.c_str(), true},           // ... whose other file keeps it
        {"41/readme.txt", "mine", false},
    };
    for (const auto& row : rows) {
        if (row.content) {
            WriteFile(s / row.path, row.content);
        } else {
            fs::create_directories(s / row.path);
        }
    }
    fs::create_directory_symlink(outside / "7", s / "1" / "11"); // a link: left alone
    fs::create_directory_symlink(outside, s / "42");
    ASSERT_EQ(::mkfifo((s / "1" / "3" / "pipe").c_str(), 0600), 0);
    fs::create_directories(s / "1" / "12");
    ASSERT_EQ(::mkfifo((s / "1" / "12" / "x.lnk").c_str(), 0600), 0); // no file the program makes
    // Reports: one never written, long ago; one being begun now; one with lines.
    const fs::path reports = dir / "Reports";
    WriteFile(reports / "20261201-101010123-44.txt", "");
    fs::last_write_time(reports / "20261201-101010123-44.txt",
                        fs::file_time_type::clock::now() - std::chrono::hours(1));
    WriteFile(reports / "20261211-101010123-45.txt", "");
    WriteFile(reports / "20261130-101010123-46.txt", "Korvane launch report\n");

    const std::size_t removed = korvane::SweepLeftovers(files);
    for (const auto& row : rows) {
        EXPECT_EQ(fs::exists(s / row.path), !row.goes) << row.path;
    }
    EXPECT_FALSE(fs::exists(s / "40"));
    EXPECT_TRUE(fs::exists(s / "41"));
    EXPECT_TRUE(fs::is_symlink(s / "1" / "11"));
    EXPECT_TRUE(fs::is_symlink(s / "42"));
    EXPECT_TRUE(fs::exists(outside / "7" / "x.lnk"));
    EXPECT_TRUE(fs::exists(s / "1" / "12"));
    EXPECT_FALSE(fs::exists(reports / "20261201-101010123-44.txt"));
    EXPECT_TRUE(fs::exists(reports / "20261211-101010123-45.txt"));
    EXPECT_TRUE(fs::exists(reports / "20261130-101010123-46.txt"));
    EXPECT_EQ(removed, 14u);                            // files and folders
    EXPECT_TRUE(korvane::FindLeftovers(files).empty()); // and a second sweep finds nothing
}

// While another Korvane holds the lock, its new folders may be on their way
// to the catalogue: the sweep leaves everything for another time.
TEST(SweepTest, NothingGoesWhileAnotherProcessWrites) {
    TempDir dir;
    korvane::ProgramFiles files(dir / "korvane");
    WriteFile(dir / "batches.lst", "[A]\r\nID=1\r\n");
    WriteFile(dir / "Shortcuts" / "1" / "5" / "tool.lnk", kLink);
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t writer = ::fork();
    if (writer == 0) {
        const int fd = ::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY);
        ::flock(fd, LOCK_EX);
        (void)!::write(ready[1], "x", 1);
        ::pause();
        ::_exit(0);
    }
    char c = 0;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    EXPECT_EQ(korvane::SweepLeftovers(files), 0u);
    EXPECT_TRUE(fs::exists(dir / "Shortcuts" / "1" / "5" / "tool.lnk"));
    ::kill(writer, SIGKILL);
    ::waitpid(writer, nullptr, 0);
    EXPECT_EQ(korvane::SweepLeftovers(files), 2u);
}

} // namespace

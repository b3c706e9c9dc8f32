// The profile file under faults: writers killed mid-write, a full disk, and
// inputs far larger than any catalogue a person writes.
#include "by_hand.h"
#include "store/catalogue_edit.h"
#include "store/errors.h"
#include "store/ini_file.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <csignal>
#include <random>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using korvane::TIniFile;
using korvane::test::ReadFile;
using korvane::test::TempDir;
using korvane::test::WriteFile;

namespace {

std::string Version(int i) {
    return "[A]\r\nv=" + std::string(200000, static_cast<char>('a' + i % 26)) + "\r\n";
}

bool Temporaries(const fs::path& dir) {
    for (const auto& e : fs::directory_iterator(dir)) {
        if (e.path().filename().string().find(".tmp-") != std::string::npos) {
            return true;
        }
    }
    return false;
}

TEST(IniFileFaultsTest, AKilledWriterLeavesTheWholeOldOrNewFile) {
    TempDir dir;
    const fs::path file = dir / "batches.lst";
    WriteFile(file, Version(0));
    std::mt19937 random(3);
    for (int kill = 0; kill < 20; ++kill) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            TIniFile ini(file);
            for (int i = 1; i <= 200; ++i) {
                ini.WriteText("A", "v", std::string(200000, static_cast<char>('a' + i % 26)));
            }
            ::_exit(0);
        }
        ::usleep(static_cast<useconds_t>(1000 + random() % 20000));
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        const std::string now = ReadFile(file);
        bool whole = false;
        for (int i = 0; i < 26 && !whole; ++i) {
            whole = now == Version(i);
        }
        ASSERT_TRUE(whole) << "torn file after kill " << kill << ", size " << now.size();
    }
    TIniFile(file).WriteText("A", "after", "1");
    EXPECT_FALSE(Temporaries(dir.path())); // the next write cleared what the killed ones left
}

TEST(IniFileFaultsTest, AFullDiskIsReportedAndTheOldFileStays) {
    TempDir dir;
    const fs::path file = dir / "batches.lst";
    WriteFile(file, "[A]\r\nk=old\r\n");
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        // A file-size limit stands in for a full disk.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        int rc = 1;
        try {
            TIniFile(file).WriteText("A", "k", std::string(10000, 'x'));
        } catch (const korvane::WriteError& e) {
            rc = std::string(e.what()) == "Unable to write to " + file.string() ? 0 : 2;
        }
        ::_exit(rc);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(ReadFile(file), "[A]\r\nk=old\r\n");
    EXPECT_FALSE(Temporaries(dir.path()));
}

TEST(IniFileFaultsTest, HugeInputsStayUsable) {
    TempDir dir;
    // 50 MB: 400,000 sections of about 130 bytes.
    std::string big;
    big.reserve(52'000'000);
    for (int i = 0; i < 400000; ++i) {
        big += "[Batch " + std::to_string(i) + "]\r\nID=" + std::to_string(i % 10000) +
               "\r\nItem0=File;" + std::to_string(i % 1000) +
               "\\;Active\r\nIconFile=" + std::string(60, 'p') + "\r\n";
    }
    WriteFile(dir / "big.lst", big);
    TIniFile ini(dir / "big.lst");
    const auto listed = ini.ListSections();
    EXPECT_LT(listed.size(), 2000u); // the list limit holds
    EXPECT_EQ(ini.ReadText("Batch 399999", "ID", ""), "9999");
    EXPECT_EQ(ini.AllSections().size(), 400000u);
    ini.WriteText("Batch 0", "ID", "1");
    EXPECT_EQ(TIniFile(dir / "big.lst").ReadText("Batch 0", "ID", ""), "1");

    // A batch of 100,000 items and a name of 10,000 characters.
    korvane::ProgramFiles files(dir / "korvane");
    const std::string name(10000, 'n');
    std::vector<std::pair<std::string, std::string>> items;
    for (int n = 0; n < 100000; ++n) {
        items.emplace_back(korvane::ItemKey(n), "Interval;0:00:01;Active");
    }
    korvane::test::ByHand(files).WriteTexts("Long batch", items);
    EXPECT_EQ(korvane::ItemCount(files.catalogue, "Long batch"), 100000);
    korvane::test::ByHand(files).WriteText(name, "ID", "7");
    EXPECT_EQ(files.catalogue.ReadText(name, "ID", ""), "7");
    EXPECT_EQ(files.catalogue.ListSections(), (std::vector<std::string>{"Long batch", name}));
}

} // namespace

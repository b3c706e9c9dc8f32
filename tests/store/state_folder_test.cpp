// Where the state lives: beside a portable copy, in the user's data folder
// for an installed one (the rule read from XDG_DATA_HOME and HOME).
#include "store/catalogue.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

TEST(StateFolderTest, APortableCopyKeepsItsStateBesideItselfAnInstalledOneInTheDataFolder) {
    EXPECT_FALSE(korvane::IsInstalledBuild()); // the tests run the portable build
    EXPECT_EQ(korvane::StateFolder("/opt/korvane/korvane"), fs::path("/opt/korvane"));
    const korvane::ProgramFiles files("/opt/korvane/korvane");
    EXPECT_EQ(files.folder, fs::path("/opt/korvane"));
    EXPECT_EQ(files.settings.FileName(), fs::path("/opt/korvane/korvane.ini"));
    EXPECT_EQ(files.layoutFile, fs::path("/opt/korvane/korvane.prm"));

    struct Row {
        const char* name;
        const char* dataHome; // nullptr: unset
        const char* home;
        const char* folder;
    } rows[] = {
        {"data home", "/data", "/home/u", "/data/korvane"},
        {"unset", nullptr, "/home/u", "/home/u/.local/share/korvane"},
        {"empty", "", "/home/u", "/home/u/.local/share/korvane"},
        {"relative is ignored", "rel/data", "/home/u", "/home/u/.local/share/korvane"},
    };
    const std::string savedHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    const char* savedData = std::getenv("XDG_DATA_HOME");
    const std::string savedDataText = savedData ? savedData : "";
    for (const Row& row : rows) {
        if (row.dataHome) {
            ::setenv("XDG_DATA_HOME", row.dataHome, 1);
        } else {
            ::unsetenv("XDG_DATA_HOME");
        }
        ::setenv("HOME", row.home, 1);
        EXPECT_EQ(korvane::InstalledStateFolder(), fs::path(row.folder)) << row.name;
    }
    ::setenv("HOME", savedHome.c_str(), 1);
    if (savedData) {
        ::setenv("XDG_DATA_HOME", savedDataText.c_str(), 1);
    } else {
        ::unsetenv("XDG_DATA_HOME");
    }
}

// Whoever else can write the state folder, batches.lst or Shortcuts/
// decides what runs as the user: such a state folder is not used, and the
// message says why and how to mend it. The user's (or root's) own, writable
// by the user alone or by the user's own group, is.
TEST(StateFolderTest, AStateFolderOthersCanWriteIsNotUsed) {
    constexpr uid_t kNobody = 65534;
    const struct {
        const char* name;
        const char* path; // relative to the state folder; "" for the folder itself
        mode_t mode;
        bool nobodyOwns;
        const char* says; // "" when it may be used
    } rows[] = {
        {"private", "", 0700, false, ""},
        {"usual", "", 0755, false, ""},
        {"folder writable by others", "", 0777, false, "chmod go-w"},
        {"catalogue writable by others", "batches.lst", 0666, false, "chmod go-w"},
        {"shortcuts writable by others", "Shortcuts", 0757, false, "chmod go-w"},
        {"catalogue of another user", "batches.lst", 0644, true, "belongs to"},
        {"folder of another user", "", 0755, true, "belongs to"},
    };
    for (const auto& row : rows) {
        korvane::test::TempDir dir;
        korvane::test::WriteFile(dir / "batches.lst", "[A]\r\nID=1\r\n");
        fs::create_directories(dir / "Shortcuts");
        const fs::path target = *row.path ? dir / row.path : dir.path();
        ASSERT_EQ(::chmod(target.c_str(), row.mode), 0);
        if (row.nobodyOwns && ::chown(target.c_str(), kNobody, kNobody) != 0) {
            GTEST_SKIP() << "files of another user can be made by root alone";
        }
        const korvane::ProgramFiles files(dir / "korvane");
        const auto problem = korvane::StateFolderProblem(files);
        if (*row.says == '\0') {
            EXPECT_FALSE(problem) << row.name << ": " << problem.value_or("");
            continue;
        }
        ASSERT_TRUE(problem) << row.name;
        EXPECT_NE(problem->find(row.says), std::string::npos) << row.name << ": " << *problem;
        EXPECT_NE(problem->find(target.string()), std::string::npos) << *problem;
    }
}

} // namespace

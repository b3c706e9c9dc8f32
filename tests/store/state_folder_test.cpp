// Where the state lives: beside a portable copy, in the user's data folder
// for an installed one (the rule read from XDG_DATA_HOME and HOME).
#include "store/catalogue.h"

#include <gtest/gtest.h>

#include <cstdlib>

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

} // namespace

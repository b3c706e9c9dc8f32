// What the item list says of an application item, without a window.
#include "app/item_row.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using korvane::test::TempDir;
using korvane::test::WriteFile;

namespace {

struct Row {
    const char* name;
    const char* fileName; // in Shortcuts/1/7/; nullptr: none
    const char* link;     // its contents
    const char* caption;
    const char* target;
    const char* iconFile;
    int iconIndex;
    const char* comment = "";
    bool isApplication = false;
};

class ItemRowTest : public testing::TestWithParam<Row> {};

TEST_P(ItemRowTest, DescribesTheLink) {
    const Row& r = GetParam();
    TempDir dir;
    WriteFile(dir / "batches.lst", "[Work]\r\nID=1\r\nItem0=File;7\\;Active\r\n");
    fs::create_directories(dir / "Shortcuts" / "1" / "7");
    // "$DIR" stands for the test's folder, which holds notes.txt, a document.
    const auto here = [&](std::string text) {
        for (auto at = text.find("$DIR"); at != std::string::npos; at = text.find("$DIR")) {
            text.replace(at, 4, dir.path().string());
        }
        return text;
    };
    WriteFile(dir / "notes.txt", "not a program\n");
    if (r.fileName) {
        WriteFile(dir / "Shortcuts" / "1" / "7" / r.fileName, here(r.link));
    }
    const korvane::ProgramFiles files(dir / "korvane");
    const korvane::ApplicationRow row = korvane::DescribeApplication(files, "Work", "7\\");
    ASSERT_TRUE(row.folder);
    EXPECT_EQ(row.caption, r.caption);
    EXPECT_EQ(row.target, here(r.target));
    EXPECT_EQ(row.iconFile, r.iconFile);
    EXPECT_EQ(row.iconIndex, r.iconIndex);
    EXPECT_EQ(row.comment, r.comment);
    EXPECT_EQ(row.isApplication, r.isApplication);
    EXPECT_EQ(row.LookupKey(), *r.target    ? here(r.target)
                               : r.fileName ? (dir / "Shortcuts" / "1" / "7" / r.fileName).string()
                                            : std::string());
}

INSTANTIATE_TEST_SUITE_P(
    Links, ItemRowTest,
    testing::Values(Row{"PlainLink", "Mail.lnk", "[Shell Link]\nTarget=/usr/bin/mail\n", "Mail",
                        "/usr/bin/mail", "", 0},
                    Row{"IconWithIndex", "Tool.lnk",
                        "[Shell Link]\nTarget=/opt/tool\nIconFile=/icons/set.ico\nIconIndex=3\n",
                        "Tool", "/opt/tool", "/icons/set.ico", 3},
                    Row{"NameNotUtf8", "caf\xe9.lnk", "[Shell Link]\nTarget=/opt/x\n",
                        "caf\xc3\xa9 (invalid encoding)", "/opt/x", "", 0},
                    Row{"NoTarget", "Broken.lnk", "[Shell Link]\n", "Broken", "", "", 0},
                    Row{"ProgramWithDescription", "Shell.lnk",
                        "[Shell Link]\nTarget=/bin/sh\nDescription=A shell\n", "Shell", "/bin/sh",
                        "", 0, "A shell", true},
                    Row{"Document", "Notes.lnk", "[Shell Link]\nTarget=$DIR/notes.txt\n", "Notes",
                        "$DIR/notes.txt", "", 0},
                    Row{"DesktopEntryByItsName", "debian-xterm.desktop",
                        "[Desktop Entry]\nType=Application\nName=XTerm\nName[xx]=Other\n"
                        "Comment=standard terminal emulator for the X window system\n"
                        "Exec=/bin/sh -c true\nIcon=mini.xterm\n",
                        "XTerm", "/bin/sh", "mini.xterm", 0,
                        "standard terminal emulator for the X window system", true},
                    Row{"DesktopEntryWithoutName", "tool.desktop",
                        "[Desktop Entry]\nType=Application\nExec=/nowhere/tool\n", "tool",
                        "/nowhere/tool", "", 0, "", true},
                    Row{"EmptyFolder", nullptr, "", "", "", "", 0}),
    [](const testing::TestParamInfo<Row>& info) { return std::string(info.param.name); });

TEST(ItemRowTest, AnEntryLeavingTheBatchFolderNamesNoFolder) {
    TempDir dir;
    WriteFile(dir / "batches.lst", "[Work]\r\nID=1\r\n");
    const korvane::ProgramFiles files(dir / "korvane");
    const korvane::ApplicationRow row = korvane::DescribeApplication(files, "Work", "..\\..\\");
    EXPECT_FALSE(row.folder);
    EXPECT_TRUE(row.file.empty());
    EXPECT_EQ(row.caption, "");
}

} // namespace

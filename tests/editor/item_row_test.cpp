// What the item list says of an application item, without a window.
#include "editor/item_row.h"
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
};

class ItemRowTest : public testing::TestWithParam<Row> {};

TEST_P(ItemRowTest, DescribesTheLink) {
    const Row& r = GetParam();
    TempDir dir;
    WriteFile(dir / "batches.lst", "[Work]\r\nID=1\r\nItem0=File;7\\;Active\r\n");
    fs::create_directories(dir / "Shortcuts" / "1" / "7");
    if (r.fileName) {
        WriteFile(dir / "Shortcuts" / "1" / "7" / r.fileName, r.link);
    }
    const korvane::ProgramFiles files(dir / "korvane");
    const korvane::ApplicationRow row = korvane::DescribeApplication(files, "Work", "7\\");
    ASSERT_TRUE(row.folder);
    EXPECT_EQ(row.caption, r.caption);
    EXPECT_EQ(row.target, r.target);
    EXPECT_EQ(row.iconFile, r.iconFile);
    EXPECT_EQ(row.iconIndex, r.iconIndex);
    EXPECT_EQ(row.LookupKey(), *r.target    ? std::string(r.target)
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

#include "by_hand.h"
#include "store/catalogue.h"
#include "store/clock_time.h"
#include "store/errors.h"
#include "store/utf8.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using korvane::TItemKind;
using korvane::tqAppInfo;
using korvane::test::TempDir;
using korvane::test::WriteFile;

namespace {

struct DecodeCase {
    const char* name;
    const char* entry;
    TItemKind kind;
    const char* folder;
    double seconds;
    bool active;
    std::array<const char*, 3> fields;
};

class DecodeItemEntryTest : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeItemEntryTest, Decodes) {
    korvane::SetUserTimeFormat(korvane::TimeFormat{});
    const DecodeCase& c = GetParam();
    tqAppInfo record;
    // Whatever an earlier entry left in the record must not leak into this one.
    korvane::DecodeItemEntry("File;999\\;Active", record);
    korvane::DecodeItemEntry(c.entry, record);
    EXPECT_EQ(record.Kind, c.kind);
    EXPECT_EQ(record.Folder, c.folder);
    EXPECT_NEAR(record.Time * 86400.0, c.seconds, 1e-9);
    EXPECT_EQ(record.Active, c.active);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(record.Fields[i], c.fields[i]) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DecodeItemEntryTest,
    ::testing::Values(
        DecodeCase{"activeFile",
                   "File;17\\;Active",
                   TItemKind::ikFile,
                   "17\\",
                   0,
                   true,
                   {"File", "17\\", "Active"}},
        DecodeCase{"stateIsCaseSensitive",
                   "File;17\\;active",
                   TItemKind::ikFile,
                   "17\\",
                   0,
                   false,
                   {"File", "17\\", "active"}},
        DecodeCase{"disabledPause",
                   "Interval;0:01:30;Disabled",
                   TItemKind::ikInterval,
                   "",
                   90,
                   false,
                   {"Interval", "0:01:30", "Disabled"}},
        DecodeCase{
            "emptyFolder", "File;;Active", TItemKind::ikFile, "", 0, true, {"File", "", "Active"}},
        DecodeCase{"trailingSemicolonAddsNoField",
                   "File;4\\;",
                   TItemKind::ikFile,
                   "4\\",
                   0,
                   false,
                   {"File", "4\\", ""}},
        DecodeCase{"moreFieldsIgnored",
                   "File;4\\;Active;x;y",
                   TItemKind::ikFile,
                   "4\\",
                   0,
                   true,
                   {"File", "4\\", "Active"}},
        DecodeCase{"kindIsCaseSensitive",
                   "file;4\\;Active",
                   TItemKind::ikUnknown,
                   "",
                   0,
                   false,
                   {"file", "4\\", "Active"}},
        DecodeCase{"otherKind",
                   "Note;hello;Active",
                   TItemKind::ikUnknown,
                   "",
                   0,
                   false,
                   {"Note", "hello", "Active"}},
        DecodeCase{
            "kindOnly", "Interval", TItemKind::ikInterval, "", 0, false, {"Interval", "", ""}},
        DecodeCase{"empty", "", TItemKind::ikUnknown, "", 0, false, {"", "", ""}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DecodeItemEntryTest, BadPauseTimeIsAnError) {
    tqAppInfo record;
    try {
        korvane::DecodeItemEntry("Interval;soon;Active", record);
        FAIL();
    } catch (const korvane::ConvertError& e) {
        EXPECT_STREQ(e.what(), "'soon' is not a valid time");
    }
}

TEST(CatalogueTest, FoldersHangOnTheBatchId) {
    TempDir dir;
    korvane::ProgramFiles files(dir / "korvane");
    EXPECT_EQ(files.settings.FileName(), dir / "korvane.ini");
    EXPECT_EQ(files.layoutFile, dir / "korvane.prm");
    EXPECT_EQ(files.catalogue.FileName(), dir / "batches.lst");
    korvane::test::ByHand(files).WriteText("Monday", "ID", "417");
    EXPECT_EQ(korvane::BatchFolder(files, "MONDAY"), dir / "Shortcuts" / "417" / "");
    EXPECT_EQ(korvane::BatchFolder(files, "Nobody"), dir / "Shortcuts" / "");
    korvane::test::ByHand(files).WriteText("Sneaky", "ID", "../..");
    EXPECT_EQ(korvane::BatchFolder(files, "Sneaky").parent_path().parent_path(), dir / "Shortcuts");
}

TEST(CatalogueTest, ItemFoldersStayInsideTheBatchFolder) {
    const fs::path batch = "/p/Shortcuts/1/";
    EXPECT_EQ(korvane::ItemFolder(batch, "17\\"), fs::path("/p/Shortcuts/1/17/"));
    EXPECT_EQ(korvane::ItemFolder(batch, "17/"), fs::path("/p/Shortcuts/1/17/"));
    EXPECT_EQ(korvane::ItemFolder(batch, ""), batch);
    for (const char* bad : {"..\\", "../x/", "/etc/", "\\etc", "1\\..\\..\\"}) {
        EXPECT_FALSE(korvane::ItemFolder(batch, bad)) << bad;
    }
}

TEST(CatalogueTest, FindItemFileTakesTheGreatestNameIgnoringCase) {
    TempDir dir;
    EXPECT_EQ(korvane::FindItemFile(dir / "missing"), "");
    EXPECT_EQ(korvane::FindItemFile(dir.path()), "");
    WriteFile(dir / "b.lnk", "");
    EXPECT_EQ(korvane::FindItemFile(dir.path()), "b.lnk");
    WriteFile(dir / "A.lnk", "");
    WriteFile(dir / "C.lnk", "");
    WriteFile(dir / ".hidden", "");
    EXPECT_EQ(korvane::FindItemFile(dir.path()), "C.lnk");
    fs::create_directory(dir / "z-folder");
    EXPECT_EQ(korvane::FindItemFile(dir.path()), "z-folder");
}

// Long names beyond what one list of section names holds: every batch is
// still listed, none cut short (a cut name was a batch that does not exist,
// and the batches after it were gone from the windows).
TEST(CatalogueTest, BatchRowsListEveryBatchHoweverLongTheNames) {
    TempDir dir;
    std::string catalogue;
    std::vector<std::string> names;
    for (int i = 0; i < 120; ++i) {
        names.push_back(std::to_string(i) + " " + std::string(200, 'n'));
        catalogue += "[" + names.back() + "]\r\nID=" + std::to_string(i + 1) + "\r\n";
    }
    WriteFile(dir / "batches.lst", catalogue);
    korvane::ProgramFiles files(dir / "korvane");
    const auto rows = korvane::ListBatchRows(files.catalogue, false);
    ASSERT_EQ(rows.size(), names.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].name, names[i]);
    }
}

TEST(CatalogueTest, BatchRowsAndTheDefaultBatch) {
    TempDir dir;
    WriteFile(dir / "batches.lst", "[Work]\r\nID=1\r\nIconFile=/icons/w.ico\r\nIconIndex=3\r\n"
                                   "[Hidden]\r\nID=2\r\nShowInStartup=0\r\n"
                                   "[Workshop]\r\nID=3\r\nShowInStartup=1\r\n");
    korvane::ProgramFiles files(dir / "korvane");
    const auto all = korvane::ListBatchRows(files.catalogue, false);
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].name, "Work");
    EXPECT_EQ(all[0].iconFile, "/icons/w.ico");
    EXPECT_EQ(all[0].iconIndex, 3);
    EXPECT_EQ(all[1].iconFile, "");
    const auto menu = korvane::ListBatchRows(files.catalogue, true);
    ASSERT_EQ(menu.size(), 2u);
    EXPECT_EQ(menu[1].name, "Workshop");

    const std::vector<std::string> captions{"Work", "Workshop"};
    struct {
        const char* defaultBatch; // nullptr: key absent
        int row;
    } cases[] = {{nullptr, 0}, {"workshop", 1}, {"WORK", 0}, {"Works", 0}, {"Hidden", 0}, {"", 0}};
    for (const auto& c : cases) {
        if (c.defaultBatch) {
            files.settings.WriteText("Basic", "DefaultBatch", c.defaultBatch);
        }
        EXPECT_EQ(korvane::DefaultBatchIndex(files.settings, captions), c.row)
            << (c.defaultBatch ? c.defaultBatch : "(absent)");
    }
}

} // namespace

TEST(CatalogueTest, FileNamesForPeople) {
    EXPECT_EQ(korvane::utf8::DisplayFileName("Mail \xc3\xbc"), "Mail \xc3\xbc");
    // Stray bytes of an older system's name are its Latin-1 letters.
    EXPECT_EQ(korvane::utf8::DisplayFileName("caf\xe9"), "caf\xc3\xa9 (invalid encoding)");
    EXPECT_EQ(korvane::utf8::DisplayFileName("\xff\xc3\xbc"),
              "\xc3\xbf\xc3\xbc (invalid encoding)");
}

#include "by_hand.h"
#include "store/catalogue_edit.h"
#include "store/clock_time.h"
#include "store/errors.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>

namespace fs = std::filesystem;
using korvane::test::ReadFile;
using korvane::test::TempDir;
using korvane::test::WriteFile;

namespace {

class CatalogueEditTest : public ::testing::Test {
  protected:
    CatalogueEditTest() : files_(dir_ / "korvane") { korvane::SetUserTimeFormat({}); }

    // A link maker that writes what it was asked for, as the shell would.
    korvane::LinkMaker linker_ = [](const fs::path& target, const fs::path& folder) {
        WriteFile(folder / (target.filename().string() + ".lnk"), "link to " + target.string());
    };
    std::vector<std::string> Items(const std::string& batch) {
        std::vector<std::string> items;
        for (int n = 0; n < korvane::ItemCount(files_.catalogue, batch); ++n) {
            items.push_back(files_.catalogue.ReadText(batch, korvane::ItemKey(n), ""));
        }
        return items;
    }

    // The batch and an item as a window would have read them just now.
    korvane::BatchRef B(const std::string& name) const {
        return korvane::RefOf(files_.catalogue, name);
    }
    korvane::ItemRef At(const std::string& batch, int n) const {
        return {n, files_.catalogue.ReadText(batch, korvane::ItemKey(n), "")};
    }

    TempDir dir_;
    korvane::ProgramFiles files_;
    std::mt19937 random_{42};
};

TEST_F(CatalogueEditTest, NewBatchNamesAvoidEveryCaptionIgnoringCase) {
    struct {
        std::vector<std::string> captions;
        const char* name;
    } cases[] = {{{}, "New batch"},
                 {{"Work"}, "New batch"},
                 {{"new BATCH"}, "Copy New batch"},
                 {{"New batch", "copy new batch"}, "Copy Copy New batch"}};
    for (const auto& c : cases) {
        EXPECT_EQ(korvane::NewBatchName(c.captions), c.name);
    }
}

TEST_F(CatalogueEditTest, NewBatchesGetAnIdNoOtherBatchHas) {
    std::string catalogue;
    for (int id = 0; id <= 9999; ++id) {
        if (id != 4242) {
            catalogue += "[B" + std::to_string(id) + "]\r\nID=" + std::to_string(id) + "\r\n";
        }
    }
    WriteFile(dir_ / "batches.lst", catalogue);
    EXPECT_EQ(korvane::CreateBatch(files_, "Last", random_).id, "4242");
    EXPECT_EQ(files_.catalogue.ListKeys("Last"), std::vector<std::string>{"ID"});
    EXPECT_TRUE(fs::is_directory(dir_ / "Shortcuts" / "4242"));
}

TEST_F(CatalogueEditTest, RenameKeepsEveryKeyAndMovesTheBatchLast) {
    WriteFile(dir_ / "batches.lst", "[A]\r\nID=1\r\nIconFile=x.ico\r\nItem0=File;3\\;Active\r\n"
                                    "[B]\r\nID=2\r\n");
    korvane::RenameBatch(files_, B("A"), "Renamed");
    EXPECT_EQ(ReadFile(dir_ / "batches.lst"), "[B]\r\nID=2\r\n[Renamed]\r\nID=1\r\n"
                                              "IconFile=x.ico\r\nItem0=File;3\\;Active\r\n");
    korvane::RenameBatch(files_, B("Renamed"), "RENAMED"); // its own name in other letters
    EXPECT_EQ(files_.catalogue.ListSections(), (std::vector<std::string>{"B", "RENAMED"}));
    for (const char* bad : {"", "  ", "b", "B"}) {
        EXPECT_THROW(korvane::RenameBatch(files_, B("RENAMED"), bad), korvane::Error) << bad;
    }
    EXPECT_EQ(files_.catalogue.ReadText("RENAMED", "ID", ""), "1");
    EXPECT_EQ(files_.catalogue.ReadText("B", "ID", ""), "2");
}

TEST_F(CatalogueEditTest, ApplicationsAreLinkedOrCopiedIntoFreshFolders) {
    korvane::test::ByHand(files_).WriteText("W", "ID", "5");
    WriteFile(dir_ / "src" / "Editor.LNK", "shell link bytes\x01");
    WriteFile(dir_ / "src" / "app.desktop", "[Desktop Entry]\n");
    std::vector<std::string> fields;
    // A program that is not there: a link is made all the same.
    const fs::path program = dir_ / "opt" / "tools" / "app.EXE";
    for (const fs::path& path :
         {program, dir_ / "src" / "Editor.LNK", dir_ / "src" / "app.desktop"}) {
        fields.push_back(korvane::AddApplicationItem(files_, B("W"), path, random_, linker_));
    }
    ASSERT_EQ(Items("W").size(), 3u);
    std::set<std::string> distinct(fields.begin(), fields.end());
    EXPECT_EQ(distinct.size(), 3u);
    const fs::path batch = dir_ / "Shortcuts" / "5";
    auto folder = [&](int i) { return batch / fields[i].substr(0, fields[i].size() - 1); };
    EXPECT_EQ(Items("W")[0], "File;" + fields[0] + ";Active");
    EXPECT_EQ(ReadFile(folder(0) / "app.EXE.lnk"), "link to " + program.string());
    EXPECT_EQ(ReadFile(folder(1) / "Editor.LNK"), "shell link bytes\x01");
    EXPECT_EQ(ReadFile(folder(2) / "app.desktop"), "[Desktop Entry]\n");

    EXPECT_THROW(
        korvane::AddApplicationItem(files_, B("W"), dir_ / "missing.lnk", random_, linker_),
        korvane::Error);
    EXPECT_EQ(Items("W").size(), 3u); // no entry, and no empty folder left
    std::size_t folders = 0;
    for (const auto& e : fs::directory_iterator(batch)) {
        (void)e;
        ++folders;
    }
    EXPECT_EQ(folders, 3u);

    // Nor when making the link fails.
    EXPECT_THROW(korvane::AddApplicationItem(
                     files_, B("W"), "/bin/x", random_,
                     [](const fs::path&, const fs::path&) { throw korvane::Error("no link"); }),
                 korvane::Error);
    EXPECT_EQ(Items("W").size(), 3u);
    EXPECT_EQ(std::distance(fs::directory_iterator(batch), fs::directory_iterator()), 3);
}

TEST_F(CatalogueEditTest, NewItemsFillTheFirstGap) {
    WriteFile(dir_ / "batches.lst", "[W]\r\nID=5\r\nItem0=Interval;0:00:01;Active\r\n"
                                    "Item2=Interval;0:00:02;Active\r\n");
    korvane::AddPauseItem(files_, B("W"), 300.0 / 86400);
    EXPECT_EQ(Items("W"),
              (std::vector<std::string>{"Interval;0:00:01;Active", "Interval;0:05:00;Active",
                                        "Interval;0:00:02;Active"}));
}

TEST_F(CatalogueEditTest, ItemsMoveSwitchAndGo) {
    korvane::test::ByHand(files_).WriteText("W", "ID", "5");
    const std::string a = korvane::AddApplicationItem(files_, B("W"), "/bin/a", random_, linker_);
    korvane::AddPauseItem(files_, B("W"), 300.0 / 86400);
    const std::string c = korvane::AddApplicationItem(files_, B("W"), "/bin/c", random_, linker_);
    const std::string A = "File;" + a + ";Active", P = "Interval;0:05:00;Active",
                      C = "File;" + c + ";Active";

    EXPECT_FALSE(korvane::MoveItem(files_, B("W"), At("W", 0), -1));
    EXPECT_FALSE(korvane::MoveItem(files_, B("W"), At("W", 2), +1));
    EXPECT_TRUE(korvane::MoveItem(files_, B("W"), At("W", 2), -1));
    EXPECT_EQ(Items("W"), (std::vector<std::string>{A, C, P}));

    korvane::SetItemActive(files_, B("W"), At("W", 2), false);
    EXPECT_EQ(Items("W")[2], "Interval;0:05:00;Disabled");
    korvane::SetPauseLength(files_, B("W"), At("W", 2), 90.0 / 86400);
    EXPECT_EQ(Items("W")[2], "Interval;0:01:30;Disabled");
    korvane::SetItemActive(files_, B("W"), At("W", 2), true);
    EXPECT_EQ(Items("W")[2], "Interval;0:01:30;Active");

    const fs::path folderC = dir_ / "Shortcuts" / "5" / c.substr(0, c.size() - 1);
    ASSERT_TRUE(fs::exists(folderC / "c.lnk"));
    korvane::DeleteItem(files_, B("W"), At("W", 1));
    EXPECT_EQ(Items("W"), (std::vector<std::string>{A, "Interval;0:01:30;Active"}));
    EXPECT_FALSE(files_.catalogue.ListKeys("W").back() == "Item2");
    EXPECT_FALSE(fs::exists(folderC));

    // An item whose folder was emptied by hand can still be removed.
    fs::remove_all(dir_ / "Shortcuts" / "5" / a.substr(0, a.size() - 1));
    korvane::DeleteItem(files_, B("W"), At("W", 0));
    EXPECT_EQ(Items("W"), std::vector<std::string>{"Interval;0:01:30;Active"});
}

TEST_F(CatalogueEditTest, DeletingABatchRemovesWhatTheProgramPutThere) {
    korvane::test::ByHand(files_).WriteText("W", "ID", "5");
    fs::create_directories(dir_ / "Shortcuts" / "5");
    const std::string a = korvane::AddApplicationItem(files_, B("W"), "/bin/a", random_, linker_);
    const std::string b = korvane::AddApplicationItem(files_, B("W"), "/bin/b", random_, linker_);
    WriteFile(dir_ / "Shortcuts" / "5" / b.substr(0, b.size() - 1) / "user notes.txt", "mine");
    korvane::DeleteBatch(files_, B("W"));
    EXPECT_TRUE(files_.catalogue.ListSections().empty());
    EXPECT_FALSE(fs::exists(dir_ / "Shortcuts" / "5" / a.substr(0, a.size() - 1)));
    // A folder still holding a file of the user's stays, with that file only.
    EXPECT_FALSE(fs::exists(dir_ / "Shortcuts" / "5" / b.substr(0, b.size() - 1) / "b.lnk"));
    EXPECT_TRUE(
        fs::exists(dir_ / "Shortcuts" / "5" / b.substr(0, b.size() - 1) / "user notes.txt"));
}

} // namespace

namespace {

bool Throws(const std::function<void()>& edit) {
    try {
        edit();
    } catch (const korvane::Error&) {
        return true;
    }
    return false;
}

std::size_t Entries(const fs::path& folder) {
    std::error_code ec;
    std::size_t n = 0;
    for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        ++n;
    }
    return n;
}

} // namespace

// Another program renamed or deleted the batch since the editor read it:
// every edit is refused and nothing is written, no section without an ID,
// no folder another batch could come to share.
TEST_F(CatalogueEditTest, EditsOfABatchThatIsGoneAreRefusedAndWriteNothing) {
    WriteFile(dir_ / "batches.lst", "[Other]\r\nID=5\r\n");
    WriteFile(dir_ / "tool", "#!/bin/sh\n");
    const std::string before = ReadFile(dir_ / "batches.lst");
    const std::size_t entries = Entries(dir_.path());
    const struct {
        const char* name;
        std::function<void()> edit;
    } rows[] = {
        {"rename", [&] { korvane::RenameBatch(files_, B("Gone"), "New"); }},
        {"add pause", [&] { korvane::AddPauseItem(files_, B("Gone"), 0.0001); }},
        {"add application",
         [&] { korvane::AddApplicationItem(files_, B("Gone"), dir_ / "tool", random_, linker_); }},
        {"delete batch", [&] { korvane::DeleteBatch(files_, B("Gone")); }},
        {"pause length",
         [&] { korvane::SetPauseLength(files_, B("Gone"), At("Gone", 0), 0.0001); }},
    };
    for (const auto& row : rows) {
        EXPECT_TRUE(Throws(row.edit)) << row.name;
        EXPECT_EQ(ReadFile(dir_ / "batches.lst"), before) << row.name;
        EXPECT_EQ(Entries(dir_.path()), entries) << row.name;
    }
}

TEST_F(CatalogueEditTest, ABatchWithoutAnIdGetsNoApplicationFolders) {
    WriteFile(dir_ / "batches.lst", "[Hand made]\r\nItem0=Interval;0:00:01;Active\r\n");
    WriteFile(dir_ / "tool", "#!/bin/sh\n");
    EXPECT_TRUE(Throws([&] {
        korvane::AddApplicationItem(files_, B("Hand made"), dir_ / "tool", random_, linker_);
    }));
    EXPECT_FALSE(fs::exists(dir_ / "Shortcuts"));
    EXPECT_EQ(Items("Hand made"), std::vector<std::string>{"Interval;0:00:01;Active"});
}

// A catalogue that cannot be written: the deletes fail before any file goes.
TEST_F(CatalogueEditTest, AFailedDeleteLeavesEveryFile) {
    WriteFile(dir_ / "batches.lst", "[A]\r\nID=1\r\nItem0=File;3\\;Active\r\n");
    const fs::path link = dir_ / "Shortcuts" / "1" / "3" / "tool.lnk";
    WriteFile(link, "[Shell Link]\nTarget=/bin/true\n");
    // No write bit at all: read-only for everybody, root included.
    fs::permissions(dir_ / "batches.lst",
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_THROW(korvane::DeleteItem(files_, B("A"), At("A", 0)), korvane::WriteError);
    EXPECT_TRUE(fs::exists(link));
    EXPECT_THROW(korvane::DeleteBatch(files_, B("A")), korvane::WriteError);
    EXPECT_TRUE(fs::exists(link));
    EXPECT_EQ(Items("A"), std::vector<std::string>{"File;3\\;Active"});
}

TEST_F(CatalogueEditTest, TheDefaultBatchFollowsARename) {
    WriteFile(dir_ / "batches.lst", "[Morning]\r\nID=1\r\n[Other]\r\nID=2\r\n");
    files_.settings.WriteText("Basic", "DefaultBatch", "MORNING");
    korvane::RenameBatch(files_, B("Other"), "Evening");
    EXPECT_EQ(files_.settings.ReadText("Basic", "DefaultBatch", ""), "MORNING");
    korvane::RenameBatch(files_, B("Morning"), "Dawn");
    EXPECT_EQ(files_.settings.ReadText("Basic", "DefaultBatch", ""), "Dawn");
}

#include "by_hand.h"
#include "store/catalogue_edit.h"
#include "store/errors.h"
#include "store/item_wait.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using korvane::ItemWait;
using korvane::WaitKind;
using korvane::test::TempDir;

TEST(ItemWait, ReadsWhatItWritesAndNothingElse) {
    struct Row {
        const char* name;
        std::string text;
        ItemWait expected;
    };
    const std::vector<Row> rows{
        {"window", "Window;60", {WaitKind::Window, 60, ""}},
        {"ended", "Ended;1", {WaitKind::Ended, 1, ""}},
        {"path with ;", "Path;90;/mnt/a;b c", {WaitKind::Path, 90, "/mnt/a;b c"}},
        {"home path", "Path;5;~/ready", {WaitKind::Path, 5, "~/ready"}},
        {"port", "Port;120;5432", {WaitKind::Port, 120, "5432"}},
        {"long limit is cut", "Window;999999", {WaitKind::Window, korvane::kMaxWaitSeconds, ""}},
        {"empty", "", {}},
        {"later kind", "Teleport;60", {}},
        {"case counts", "window;60", {}},
        {"no limit", "Window", {}},
        {"zero limit", "Window;0", {}},
        {"negative limit", "Window;-5", {}},
        {"limit not a number", "Window;1 min", {}},
        {"path without path", "Path;60", {}},
        {"relative path", "Path;60;data/ready", {}},
        {"port out of range", "Port;60;70000", {}},
        {"port zero", "Port;60;0", {}},
        {"port not a number", "Port;60;http", {}},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(korvane::DecodeWait(row.text), row.expected) << row.name;
        if (row.expected.kind != WaitKind::None && row.expected.limitSeconds < 999999 &&
            row.text.find("999999") == std::string::npos) {
            EXPECT_EQ(korvane::EncodeWait(row.expected), row.text) << row.name;
        }
    }
    EXPECT_EQ(korvane::EncodeWait({}), "");
}

TEST(ItemWait, KeysAreNamedByPlainFolderNumbersOnly) {
    EXPECT_EQ(korvane::WaitKey("417\\"), "Wait417");
    EXPECT_EQ(korvane::WaitKey("417/"), "Wait417");
    EXPECT_EQ(korvane::WaitKey("0\\"), "Wait0");
    EXPECT_EQ(korvane::WaitKey(""), "");
    EXPECT_EQ(korvane::WaitKey("\\"), "");
    EXPECT_EQ(korvane::WaitKey("a=b\\"), "");
    EXPECT_EQ(korvane::WaitKey("..\\"), "");
    EXPECT_EQ(korvane::WaitKey("12 \\"), "");
}

TEST(ItemWait, SettingAWaitRefusesWhatCannotBeKept) {
    TempDir dir;
    korvane::ProgramFiles files(dir / "korvane");
    korvane::test::ByHand(files).WriteText("B", "ID", "5");
    korvane::test::ByHand(files).WriteText("B", "Item0", "File;17\\;Active");
    korvane::test::ByHand(files).WriteText("B", "Item1", "Interval;0:00:05;Active");
    korvane::test::ByHand(files).WriteText("B", "Item2", "File;odd\\;Active");
    const ItemWait window{WaitKind::Window, 30, ""};

    const korvane::BatchRef b{"B", "5"};
    korvane::SetItemWait(files, b, "17\\", window);
    EXPECT_EQ(korvane::ReadItemWait(files.catalogue, "B", "17\\"), window);
    EXPECT_EQ(files.catalogue.ReadText("B", "Wait17", ""), "Window;30");
    korvane::SetItemWait(files, b, "17/", {});
    EXPECT_EQ(files.catalogue.ReadText("B", "Wait17", "absent"), "absent");

    const auto refused = [&](const std::string& folder, const ItemWait& wait,
                             const korvane::BatchRef& batch = {"B", "5"}) {
        const std::string before = korvane::test::ReadFile(dir / "batches.lst");
        try {
            korvane::SetItemWait(files, batch, folder, wait);
        } catch (const korvane::Error& error) {
            EXPECT_EQ(korvane::test::ReadFile(dir / "batches.lst"), before);
            return std::string(error.what());
        }
        return std::string("accepted");
    };
    const std::string changed =
        "The item is no longer where it was in the batch \"B\": another program changed the "
        "batch.";
    EXPECT_EQ(refused("99\\", window), changed);
    EXPECT_EQ(refused("odd\\", window),
              "The item's folder \"odd\\\" is no number, so nothing can be kept for it.");
    const std::string gone =
        "There is no batch named \"B\" any more: another program renamed or deleted it.";
    EXPECT_EQ(refused("17\\", window, {"Gone", "5"}),
              "There is no batch named \"Gone\" any more: another program renamed or deleted it.");
    EXPECT_EQ(refused("17\\", window, {"B", "6"}), gone); // another batch under its name now
    EXPECT_EQ(refused("17\\", {WaitKind::Port, 60, "99999"}),
              "The port must be a number from 1 to 65535.");
    EXPECT_EQ(refused("17\\", {WaitKind::Path, 60, "/mnt/x "}), "The path cannot end in a blank.");
    EXPECT_EQ(refused("17\\", {WaitKind::Path, 60, "/mnt/\nx"}),
              "The path cannot hold a line break.");
    EXPECT_EQ(refused("17\\", {WaitKind::Window, 0, ""}),
              "The time limit must lie between 1 second and 24 hours.");
}

TEST(ItemWait, AWaitLeftBehindIsNotTakenOverByANewItem) {
    TempDir dir;
    korvane::ProgramFiles files(dir / "korvane");
    std::mt19937 random(1);
    const korvane::BatchRef b = korvane::CreateBatch(files, "B", random);
    std::mt19937 draw(5); // the folder the next item will draw
    const int n = std::uniform_int_distribution<int>(0, 999)(draw);
    korvane::test::ByHand(files).WriteText("B", "Wait" + std::to_string(n), "Ended;60");
    const std::string field = korvane::AddApplicationItem(
        files, b, "/bin/true", random = std::mt19937(5),
        [](const fs::path& target, const fs::path& folder) {
            korvane::test::WriteFile(folder / (target.filename().string() + ".lnk"), "link");
        });
    EXPECT_EQ(field, std::to_string(n) + "\\");
    EXPECT_EQ(korvane::ReadItemWait(files.catalogue, "B", field), ItemWait{});
}

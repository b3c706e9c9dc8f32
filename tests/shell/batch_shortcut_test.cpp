// Desktop shortcuts of batches are found by the batch they run, never by a
// file name two batches can share; nothing but a batch's own shortcut is
// ever rewritten or removed.
#include "shell/batch_shortcut.h"
#include "shell/desktop_link.h"
#include "store/utf8.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <map>

namespace fs = std::filesystem;
using korvane::test::ReadFile;
using korvane::test::TempDir;
using korvane::test::WriteFile;
namespace shell = korvane::shell;

namespace {

class BatchShortcutTest : public ::testing::Test {
  protected:
    BatchShortcutTest() : desktop_(dir_ / "Desktop"), exe_(dir_ / "bin" / "korvane.exe") {
        WriteFile(exe_, "program");
        fs::create_directories(desktop_);
    }
    fs::path Make(const std::string& batch) {
        return shell::MakeBatchShortcut(desktop_, exe_, batch, {});
    }
    // What runs each shortcut on the desktop: file name -> its arguments.
    std::map<std::string, std::vector<std::string>> Desktop() const {
        std::map<std::string, std::vector<std::string>> shown;
        for (const auto& entry : fs::directory_iterator(desktop_)) {
            const auto command = shell::ReadDesktopLink(entry.path());
            shown[korvane::utf8::FromPath(entry.path().filename())] =
                command ? command->arguments : std::vector<std::string>{"(no shortcut)"};
        }
        return shown;
    }
    static std::string File(const std::string& stem) { return stem + shell::kDesktopLinkExtension; }

    TempDir dir_;
    fs::path desktop_;
    fs::path exe_;
};

TEST_F(BatchShortcutTest, NamesOneFileNameCannotTellApartGetFilesOfTheirOwn) {
    const fs::path ab = Make("a-b");
    const fs::path slash = Make("a/b");
    EXPECT_NE(ab, slash);
    const std::string abBytes = ReadFile(ab);
    // Made again, each stays where it is.
    EXPECT_EQ(Make("a/b"), slash);
    EXPECT_EQ(shell::FindBatchShortcut(desktop_, exe_, "A-B"), ab); // batch names ignore case
    EXPECT_EQ(Desktop(), (std::map<std::string, std::vector<std::string>>{
                             {File("a-b"), {"--", "a-b"}}, {File("a-b (2)"), {"--", "a/b"}}}));
    // A rename moves its own shortcut only.
    shell::MoveBatchShortcut(desktop_, exe_, "a/b", "c", {});
    EXPECT_EQ(Desktop(), (std::map<std::string, std::vector<std::string>>{
                             {File("a-b"), {"--", "a-b"}}, {File("c"), {"--", "c"}}}));
    EXPECT_EQ(ReadFile(ab), abBytes);
    // And back onto the name the other batch's file has: a file of its own.
    shell::MoveBatchShortcut(desktop_, exe_, "c", "a/b", {});
    EXPECT_EQ(Desktop(), (std::map<std::string, std::vector<std::string>>{
                             {File("a-b"), {"--", "a-b"}}, {File("a-b (2)"), {"--", "a/b"}}}));
    // A batch without a shortcut gets none by a rename.
    shell::MoveBatchShortcut(desktop_, exe_, "Other", "Else", {});
    EXPECT_EQ(Desktop().size(), 2u);
}

TEST_F(BatchShortcutTest, OtherFilesAndOtherProgramsShortcutsAreLeftAlone) {
    // The user's own file of that name, and a shortcut of another copy of the program.
    WriteFile(desktop_ / File("Work"), "mine");
    WriteFile(dir_ / "other" / "korvane.exe", "another copy");
    shell::WriteDesktopLink(desktop_ / File("Work (2)"), "Work", dir_ / "other" / "korvane.exe",
                            {"--", "Work"}, 0, "");
    const fs::path made = Make("Work");
    EXPECT_EQ(made.filename(), korvane::utf8::ToPath(File("Work (3)")));
    EXPECT_EQ(ReadFile(desktop_ / File("Work")), "mine");
    EXPECT_EQ(shell::ReadDesktopLink(desktop_ / File("Work (2)"))->program,
              dir_ / "other" / "korvane.exe");
    shell::MoveBatchShortcut(desktop_, exe_, "Work", "Play", {});
    EXPECT_TRUE(fs::exists(desktop_ / File("Work")));
    EXPECT_TRUE(fs::exists(desktop_ / File("Work (2)")));
    EXPECT_FALSE(fs::exists(made));
    EXPECT_EQ(shell::ReadDesktopLink(desktop_ / File("Play"))->arguments,
              (std::vector<std::string>{"--", "Play"}));
}

TEST_F(BatchShortcutTest, AShortcutOfAnEarlierVersionIsFoundAndMadeAnew) {
    // Written before shortcuts put "--" before the name.
    shell::WriteDesktopLink(desktop_ / File("Night"), "Night", exe_, {"Night"}, 0, "");
    EXPECT_EQ(shell::FindBatchShortcut(desktop_, exe_, "night"), desktop_ / File("Night"));
    EXPECT_EQ(Make("Night"), desktop_ / File("Night"));
    EXPECT_EQ(Desktop(),
              (std::map<std::string, std::vector<std::string>>{{File("Night"), {"--", "Night"}}}));
}

TEST_F(BatchShortcutTest, ANameThatWouldBeHiddenShows) {
    if (!korvane::test::kFreedesktop) {
        GTEST_SKIP() << "a leading dot hides nothing on Windows";
    }
    const fs::path made = Make(".hidden");
    EXPECT_FALSE(korvane::utf8::FromPath(made.filename()).starts_with("."));
    EXPECT_EQ(shell::ReadDesktopLink(made)->arguments, (std::vector<std::string>{"--", ".hidden"}));
    // Shown by the batch's own name, not the file's.
    EXPECT_NE(ReadFile(Make("a/b")).find("Name=a/b"), std::string::npos);
}

} // namespace

// The file layer below a guarded folder (the state folder): no link there is
// followed, whatever the operation; only regular files are read, and a named
// pipe where a file should be is refused at once instead of waited on.
#include "store/catalogue.h"
#include "store/file_io.h"
#include "store/utf8.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <functional>
#include <future>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using korvane::EntryKind;
using korvane::FileError;
using korvane::test::ReadFile;
using korvane::test::TempDir;
using korvane::test::WriteFile;

namespace {

// Every file below folder with its bytes: what must not change.
std::map<std::string, std::string> Tree(const fs::path& folder) {
    std::map<std::string, std::string> tree;
    for (const auto& e : fs::recursive_directory_iterator(folder)) {
        tree[e.path().lexically_relative(folder).string()] =
            e.is_regular_file() ? ReadFile(e.path()) : std::string("(folder)");
    }
    return tree;
}

// Runs body on a thread; false when it has not returned after a while (it
// blocks), in which case the pipe is opened for writing so that it can end.
bool ReturnsPromptly(const std::function<void()>& body, const fs::path& pipe) {
    auto done = std::async(std::launch::async, body);
    if (done.wait_for(std::chrono::seconds(5)) == std::future_status::ready) {
        done.get();
        return true;
    }
    const int writer = ::open(pipe.c_str(), O_WRONLY | O_NONBLOCK);
    if (writer >= 0) {
        ::close(writer);
    }
    return false;
}

class FileLayerTest : public ::testing::Test {
  protected:
    FileLayerTest() : state_(dir_ / "state"), outside_(dir_ / "thesis") {
        WriteFile(outside_ / "thesis.odt", "three years of work");
        WriteFile(outside_ / "notes" / "a.txt", "notes");
        fs::create_directories(state_ / "Shortcuts" / "1");
        korvane::GuardFolder(state_);
        before_ = Tree(outside_);
    }
    ~FileLayerTest() override { EXPECT_EQ(Tree(outside_), before_) << "outside the state folder"; }

    TempDir dir_;
    fs::path state_;
    fs::path outside_;
    std::map<std::string, std::string> before_;
};

// A link for an item folder or a batch folder: every operation through it
// is refused with the reason, removing it removes the link alone.
TEST_F(FileLayerTest, ALinkBelowTheStateFolderIsNeverFollowed) {
    const fs::path item = state_ / "Shortcuts" / "1" / "5";
    const fs::path batch = state_ / "Shortcuts" / "2";
    fs::create_directory_symlink(outside_, item);
    fs::create_directory_symlink(outside_, batch);
    fs::create_symlink(outside_ / "thesis.odt", state_ / "Shortcuts" / "1" / "x.lnk");
    const struct {
        const char* name;
        std::function<void()> operation;
    } refused[] = {
        {"list a linked item folder", [&] { korvane::ListFolder(item); }},
        {"list a linked batch folder", [&] { korvane::ListFolder(batch); }},
        {"read through a linked folder", [&] { korvane::ReadFileSnapshot(item / "thesis.odt"); }},
        {"read a linked file", [&] { korvane::ReadFileSnapshot(state_ / "Shortcuts/1/x.lnk"); }},
        {"replace through a linked folder",
         [&] { korvane::ReplaceFileAtomically(item / "thesis.odt", "gone"); }},
        {"replace a linked file",
         [&] { korvane::ReplaceFileAtomically(state_ / "Shortcuts/1/x.lnk", "gone"); }},
        {"make a folder through a link", [&] { korvane::MakeFolders(batch / "7"); }},
        {"copy into a linked folder",
         [&] { korvane::CopyNewFile(outside_ / "notes" / "a.txt", item / "b.txt"); }},
        {"remove through a linked folder", [&] { korvane::RemoveEntry(item / "thesis.odt"); }},
        {"begin a report in a linked folder",
         [&] { korvane::GrowingFile().Create(batch / "r.txt"); }},
    };
    for (const auto& row : refused) {
        try {
            row.operation();
            ADD_FAILURE() << row.name << ": done";
        } catch (const FileError& error) {
            EXPECT_EQ(error.Reason(), korvane::kSymlinkInside) << row.name << ": " << error.what();
        }
    }
    EXPECT_EQ(korvane::KindOf(item), EntryKind::Link);
    EXPECT_EQ(korvane::KindOf(item / "thesis.odt"), EntryKind::Link); // a link on the way
    EXPECT_FALSE(korvane::IdentifyFile(item / "thesis.odt"));
    // Removed: the links themselves.
    EXPECT_TRUE(korvane::RemoveEntry(item));
    EXPECT_TRUE(korvane::RemoveEntry(batch));
    EXPECT_TRUE(korvane::RemoveEntry(state_ / "Shortcuts" / "1" / "x.lnk"));
    EXPECT_TRUE(fs::is_empty(state_ / "Shortcuts" / "1"));
}

// batches.lst and the settings may be links to files kept elsewhere (a
// dotfiles folder, say): they are read and written through.
TEST_F(FileLayerTest, AProfileFileMayBeALinkToAFile) {
    WriteFile(dir_ / "dotfiles" / "batches.lst", "[A]\r\nID=1\r\n");
    fs::create_symlink(dir_ / "dotfiles" / "batches.lst", state_ / "batches.lst");
    EXPECT_EQ(korvane::ReadFileSnapshot(state_ / "batches.lst")->bytes, "[A]\r\nID=1\r\n");
    korvane::ReplaceFileAtomically(state_ / "batches.lst", "[B]\r\n");
    EXPECT_EQ(ReadFile(dir_ / "dotfiles" / "batches.lst"), "[B]\r\n");
    EXPECT_TRUE(fs::is_symlink(state_ / "batches.lst"));
}

// A named pipe where a file should be: refused at once, by every reader,
// and never replaced.
TEST_F(FileLayerTest, APipeIsRefusedWithoutWaiting) {
    const fs::path pipes[] = {state_ / "batches.lst", state_ / "Shortcuts" / "1" / "a.lnk",
                              dir_ / "dropped.desktop"};
    for (const fs::path& pipe : pipes) {
        ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
        const struct {
            const char* name;
            std::function<void()> operation;
        } refused[] = {
            {"read", [&] { korvane::ReadFileSnapshot(pipe); }},
            {"replace", [&] { korvane::ReplaceFileAtomically(pipe, "x"); }},
            {"copy", [&] { korvane::CopyNewFile(pipe, state_ / "Shortcuts" / "1" / "c.desktop"); }},
        };
        for (const auto& row : refused) {
            const bool prompt = ReturnsPromptly(
                [&] {
                    try {
                        row.operation();
                        ADD_FAILURE() << pipe << ", " << row.name << ": done";
                    } catch (const FileError& error) {
                        EXPECT_EQ(error.Reason(), korvane::kNotRegular) << pipe << ", " << row.name;
                    }
                },
                pipe);
            EXPECT_TRUE(prompt) << pipe << ", " << row.name << ": blocked";
        }
        EXPECT_EQ(korvane::KindOf(pipe), EntryKind::Other);
        EXPECT_FALSE(fs::exists(state_ / "Shortcuts" / "1" / "c.desktop")); // nothing half-made
    }
}

// What a file layer does is told: failures come with the system's reason,
// and a copy that cannot be made leaves nothing.
TEST_F(FileLayerTest, FailuresSayWhyAndLeaveNothingHalfMade) {
    const fs::path folder = state_ / "Shortcuts" / "1";
    korvane::CopyNewFile(outside_ / "notes" / "a.txt", folder / "a.desktop");
    EXPECT_EQ(ReadFile(folder / "a.desktop"), "notes");
    try {
        korvane::CopyNewFile(outside_ / "notes" / "a.txt", folder / "a.desktop");
        ADD_FAILURE() << "a copy over an existing file";
    } catch (const FileError& error) {
        EXPECT_EQ(error.code(), std::errc::file_exists);
    }
    try {
        korvane::CopyNewFile(outside_ / "missing.desktop", folder / "m.desktop");
        ADD_FAILURE() << "a copy of nothing";
    } catch (const FileError& error) {
        EXPECT_EQ(std::string(error.what()), korvane::utf8::FromPath(outside_ / "missing.desktop") +
                                                 ": No such file or directory");
    }
    EXPECT_FALSE(fs::exists(folder / "m.desktop"));
    // A folder that still holds something stays, and says nothing.
    EXPECT_FALSE(korvane::RemoveEntry(folder));
    EXPECT_FALSE(korvane::RemoveEntry(folder / "never was"));
    WriteFile(state_ / "Shortcuts" / "3", "a file where a folder should be");
    try {
        korvane::MakeFolders(state_ / "Shortcuts" / "3" / "4");
        ADD_FAILURE() << "a folder in a file";
    } catch (const FileError& error) {
        EXPECT_EQ(error.Reason(), "it is not a folder");
    }
}

} // namespace

// Files and folders an ordinary user may not read or write. Root ignores file
// modes, so each case runs in a child process that first becomes "nobody"
// when the test runs as root (as it does in CI).
#include "store/catalogue_edit.h"
#include "store/errors.h"
#include "store/ini_file.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <functional>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using korvane::TIniFile;
using korvane::test::ReadFile;
using korvane::test::TempDir;
using korvane::test::WriteFile;

namespace {

constexpr uid_t kNobody = 65534;

const std::string kCatalogue = "[Work]\r\nID=1\r\nItem0=File;3\\;Active\r\n"
                               "[Evening]\r\nID=2\r\n";

enum Outcome { kWriteErrorRaised = 0, kNoError = 1, kOtherError = 2, kNoPrivilegeDrop = 3 };

// Runs body in a child as an ordinary user; its outcome is what it raised.
Outcome AsOrdinaryUser(const fs::path& folder, const std::function<void()>& body) {
    if (::geteuid() == 0) {
        fs::permissions(folder, fs::perms::all, fs::perm_options::add);
        for (const auto& e : fs::recursive_directory_iterator(folder)) {
            (void)::chown(e.path().c_str(), kNobody, kNobody);
        }
        (void)::chown(folder.c_str(), kNobody, kNobody);
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) {
            ::_exit(kNoPrivilegeDrop);
        }
        try {
            body();
        } catch (const korvane::WriteError& e) {
            ::_exit(std::string(e.what()).starts_with("Unable to write to ") ? kWriteErrorRaised
                                                                             : kOtherError);
        } catch (...) {
            ::_exit(kOtherError);
        }
        ::_exit(kNoError);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? static_cast<Outcome>(WEXITSTATUS(status)) : kOtherError;
}

TEST(IniFilePermissionsTest, AFileThatCannotBeWrittenStaysAsItWas) {
    struct Row {
        const char* name;
        fs::perms fileMode;
        fs::perms folderMode;
        std::function<void(const fs::path& file)> write;
    };
    const auto writeText = [](const fs::path& file) { TIniFile(file).WriteText("Work", "K", "v"); };
    const auto writeTexts = [](const fs::path& file) {
        TIniFile(file).WriteTexts("New", {{"ID", "9"}});
    };
    const auto removeSection = [](const fs::path& file) {
        TIniFile(file).RemoveSection("Evening");
    };
    const auto rename = [](const fs::path& file) {
        korvane::ProgramFiles files(file.parent_path() / "korvane");
        korvane::RenameBatch(files, korvane::RefOf(files.catalogue, "Work"), "Night ");
    };
    constexpr auto rw = fs::perms::owner_read | fs::perms::owner_write;
    constexpr auto folder = fs::perms::owner_all;
    const Row rows[] = {
        {"unreadable file, WriteText", fs::perms::owner_write, folder, writeText},
        {"unreadable file, WriteTexts", fs::perms::owner_write, folder, writeTexts},
        {"unreadable file, rename", fs::perms::owner_write, folder, rename},
        {"read-only file, WriteText", fs::perms::owner_read, folder, writeText},
        {"read-only file, RemoveSection", fs::perms::owner_read, folder, removeSection},
        {"read-only file, rename", fs::perms::owner_read, folder, rename},
        {"read-only folder, WriteText", rw, fs::perms::owner_read | fs::perms::owner_exec,
         writeText},
        {"read-only folder, rename", rw, fs::perms::owner_read | fs::perms::owner_exec, rename},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        const fs::path file = dir / "batches.lst";
        WriteFile(file, kCatalogue);
        const Outcome outcome = AsOrdinaryUser(dir.path(), [&] {
            fs::permissions(file, row.fileMode);
            fs::permissions(dir.path(), row.folderMode);
            row.write(file);
        });
        fs::permissions(dir.path(), fs::perms::owner_all, fs::perm_options::add);
        fs::permissions(file, rw, fs::perm_options::add);
        EXPECT_EQ(outcome, kWriteErrorRaised);
        EXPECT_EQ(ReadFile(file), kCatalogue);
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1)
            << "a temporary was left behind";
    }
}

TEST(IniFilePermissionsTest, AnUnreadableFileReadsAsDefaultsAndRemoveKeyIsSilent) {
    TempDir dir;
    const fs::path file = dir / "batches.lst";
    WriteFile(file, kCatalogue);
    const Outcome outcome = AsOrdinaryUser(dir.path(), [&] {
        fs::permissions(file, fs::perms::owner_write);
        TIniFile ini(file);
        if (ini.ReadText("Work", "ID", "none") != "none" || !ini.AllSections().empty()) {
            throw std::runtime_error("read what it cannot read");
        }
        ini.RemoveKey("Work", "ID"); // never reports, and must not empty the file
    });
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(outcome, kNoError);
    EXPECT_EQ(ReadFile(file), kCatalogue);
}

TEST(IniFilePermissionsTest, AFileWithoutWriteBitsIsReadOnlyEvenForRoot) {
    TempDir dir;
    const fs::path file = dir / "batches.lst";
    WriteFile(file, kCatalogue);
    fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    TIniFile ini(file);
    EXPECT_THROW(ini.WriteText("Work", "K", "v"), korvane::WriteError);
    EXPECT_EQ(ReadFile(file), kCatalogue);
    EXPECT_EQ(ini.ReadText("Evening", "ID", ""), "2");
}

} // namespace

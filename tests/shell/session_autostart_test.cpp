// The session's XDG autostart: what it lists, and taking entries from it and
// giving them back without a byte of the user's configuration changed.
#include "shell/session_autostart.h"

#include "scoped_env.h"
#include "store/errors.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using korvane::shell::ListSessionStarts;
using korvane::test::ReadFile;
using korvane::test::ScopedEnv;
using korvane::test::TempDir;
using korvane::test::WriteFile;

namespace {

constexpr uid_t kNobody = 65534;

std::string Entry(const std::string& name, const std::string& more = "") {
    return "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=/usr/bin/" + name + "\n" +
           more;
}

// Every file of a folder with its bytes and mode.
std::map<std::string, std::string> Snapshot(const fs::path& folder) {
    std::map<std::string, std::string> files;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        files[it->path().filename().string()] =
            ReadFile(it->path()) + "|mode " +
            std::to_string(static_cast<int>(fs::status(it->path()).permissions()));
    }
    return files;
}

class SessionAutostartTest : public ::testing::Test {
  protected:
    SessionAutostartTest()
        : env_({"XDG_CONFIG_HOME", "XDG_CONFIG_DIRS", "XDG_CURRENT_DESKTOP", "LANGUAGE", "LC_ALL",
                "LC_MESSAGES", "LANG"}) {
        ScopedEnv::Set("XDG_CONFIG_HOME", (dir_ / "config").string());
        ScopedEnv::Set("XDG_CONFIG_DIRS",
                       (dir_ / "xdg1").string() + ":" + (dir_ / "xdg2").string());
        ScopedEnv::Set("XDG_CURRENT_DESKTOP", "ubuntu:GNOME");
    }
    fs::path User() const { return dir_ / "config" / "autostart"; }
    fs::path System(int n) const { return dir_ / ("xdg" + std::to_string(n)) / "autostart"; }
    std::vector<std::string> Names() {
        std::vector<std::string> names;
        for (const auto& s : ListSessionStarts()) {
            names.push_back(s.name + (s.system ? " (system)" : ""));
        }
        return names;
    }

    TempDir dir_;
    ScopedEnv env_;
};

TEST_F(SessionAutostartTest, ListsWhatTheSessionStartsAsItsRulesSay) {
    WriteFile(User() / "mine.desktop", Entry("Mine"));
    WriteFile(User() / "Korvane.desktop", Entry("Korvane"));
    WriteFile(System(1) / "sync.desktop", Entry("Sync"));
    WriteFile(System(2) / "sync.desktop", Entry("Sync from the second folder"));
    WriteFile(System(1) / "hidden.desktop", Entry("Hidden", "Hidden=true\n"));
    WriteFile(System(1) / "off.desktop", Entry("Off", "X-GNOME-Autostart-enabled=false\n"));
    WriteFile(System(1) / "gnome.desktop", Entry("Gnome only", "OnlyShowIn=GNOME;\n"));
    WriteFile(System(1) / "kde.desktop", Entry("KDE only", "OnlyShowIn=KDE;\n"));
    WriteFile(System(1) / "notgnome.desktop", Entry("Not in GNOME", "NotShowIn=XFCE;GNOME;\n"));
    WriteFile(System(1) / "gone.desktop", Entry("Gone", "TryExec=korvane-no-such-program\n"));
    WriteFile(System(2) / "printer.desktop", Entry("Printer"));
    // The user's own entry of a name hides every user's entry of it.
    WriteFile(System(1) / "shadow.desktop", Entry("Shadow"));
    WriteFile(User() / "shadow.desktop", Entry("Shadow", "Hidden=true\n"));
    WriteFile(System(1) / "notes.txt", "not an entry");
    WriteFile(System(1) / "broken.desktop", "this is no key file\n");

    EXPECT_EQ(Names(), (std::vector<std::string>{"Gnome only (system)", "Mine", "Printer (system)",
                                                 "Sync (system)"}));
    const auto starts = ListSessionStarts();
    EXPECT_EQ(starts[3].file, System(1) / "sync.desktop");
    EXPECT_EQ(starts[1].id, "mine.desktop");
}

TEST_F(SessionAutostartTest, TakenEntriesGoAndComeBackByteForByte) {
    WriteFile(User() / "mine.desktop", Entry("Mine", "# the user's own comment\nX-Other=1\n"));
    fs::permissions(User() / "mine.desktop", fs::perms::owner_all | fs::perms::group_read);
    WriteFile(User() / "other.desktop", Entry("Other"));
    WriteFile(System(1) / "sync.desktop", Entry("Sync"));
    WriteFile(System(2) / "printer.desktop", Entry("Printer"));
    const auto userBefore = Snapshot(User());
    const auto systemBefore = Snapshot(System(1));
    const fs::path keep = dir_ / "state" / "Autostart";

    for (const auto& start : ListSessionStarts()) {
        if (start.name == "Mine" || start.name == "Sync") {
            korvane::shell::TakeFromSession(start, keep);
        }
    }
    EXPECT_EQ(Names(), (std::vector<std::string>{"Other", "Printer (system)"}));
    EXPECT_EQ(Snapshot(System(1)), systemBefore); // never touched
    const auto taken = korvane::shell::ListTaken(keep);
    ASSERT_EQ(taken.size(), 2u);
    EXPECT_EQ(taken[0].id, "mine.desktop");
    EXPECT_EQ(taken[0].name, "Mine");
    EXPECT_EQ(taken[1].id, "sync.desktop");

    for (const auto& t : taken) {
        korvane::shell::GiveBackToSession(t.id, keep);
    }
    EXPECT_EQ(Snapshot(User()), userBefore);
    EXPECT_EQ(Names(),
              (std::vector<std::string>{"Mine", "Other", "Printer (system)", "Sync (system)"}));
    EXPECT_TRUE(korvane::shell::ListTaken(keep).empty());
}

TEST_F(SessionAutostartTest, AnEntryTheUserChangedSinceIsNotOverwritten) {
    WriteFile(System(1) / "sync.desktop", Entry("Sync"));
    const fs::path keep = dir_ / "keep";
    korvane::shell::TakeFromSession(ListSessionStarts().at(0), keep);
    WriteFile(User() / "sync.desktop", Entry("Sync", "X-Mine=1\n"));
    EXPECT_THROW(korvane::shell::GiveBackToSession("sync.desktop", keep), korvane::Error);
    EXPECT_EQ(ReadFile(User() / "sync.desktop"), Entry("Sync", "X-Mine=1\n"));
    EXPECT_EQ(korvane::shell::ListTaken(keep).size(), 1u);
    EXPECT_THROW(korvane::shell::GiveBackToSession("never.desktop", keep), korvane::Error);
}

// Whatever happened to the user's own entry between taking and giving back,
// giving back either restores it as it was or refuses, saying which file
// and why, with not a byte changed. Keep folders of older versions hold no
// copy of what was written; the rule holds for them too.
TEST_F(SessionAutostartTest, GivingBackNeverOverwritesWhatTheUserDidSince) {
    const std::string original = Entry("Mine", "# the user's own comment\nX-Other=1");
    const auto edit = [](const fs::path& e) { WriteFile(e, ReadFile(e) + "X-Mine=1\n"); };
    const auto nothing = [](const fs::path&) {};
    struct Row {
        const char* name;
        bool olderKeep;
        std::function<void(const fs::path& entry)> since;
        const char* refusal; // what the message says; nullptr: given back
    };
    const std::vector<Row> rows{
        {"unchanged", false, nothing, nullptr},
        {"editedSince", false, edit, "was changed since"},
        {"switchedOnByHand", false,
         [](const fs::path& e) { WriteFile(e, Entry("Mine", "Hidden=false\n")); },
         "was changed since"},
        {"deletedSince", false, [](const fs::path& e) { fs::remove(e); }, "was deleted since"},
        {"restoredByHand", false, [&](const fs::path& e) { WriteFile(e, original); }, nullptr},
        {"olderKeepUnchanged", true, nothing, nullptr},
        {"olderKeepEditedSince", true, edit, "was changed since"},
    };
    const fs::path entry = User() / "mine.desktop";
    const auto mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        fs::remove_all(User());
        WriteFile(entry, original);
        fs::permissions(entry, mode);
        const fs::path keep = dir_ / "keep" / row.name;
        korvane::shell::TakeFromSession(ListSessionStarts().at(0), keep);
        ASSERT_NE(ReadFile(entry), original);
        if (row.olderKeep) {
            fs::remove(keep / "mine.desktop.written");
        }
        row.since(entry);
        const auto userBefore = Snapshot(User());
        const auto keepBefore = Snapshot(keep);

        if (!row.refusal) {
            korvane::shell::GiveBackToSession("mine.desktop", keep);
            EXPECT_EQ(ReadFile(entry), original);
            EXPECT_EQ(fs::status(entry).permissions(), mode);
            EXPECT_TRUE(korvane::shell::ListTaken(keep).empty());
            EXPECT_TRUE(fs::is_empty(keep)); // nothing of it left behind
            continue;
        }
        try {
            korvane::shell::GiveBackToSession("mine.desktop", keep);
            ADD_FAILURE() << "given back over what the user did";
        } catch (const korvane::Error& e) {
            const std::string message = e.what();
            EXPECT_NE(message.find(entry.string()), std::string::npos) << message;
            EXPECT_NE(message.find(row.refusal), std::string::npos) << message;
        }
        EXPECT_EQ(Snapshot(User()), userBefore);
        EXPECT_EQ(Snapshot(keep), keepBefore);
        const auto taken = korvane::shell::ListTaken(keep); // still there to give back
        EXPECT_TRUE(taken.size() == 1 && taken[0].id == "mine.desktop");
    }
}

// An entry of the user's that cannot be read (another program changed its
// mode after it was listed) is refused, and not a byte of it changes. Run as
// an ordinary user: root reads any file.
TEST_F(SessionAutostartTest, AnEntryThatCannotBeReadIsLeftAlone) {
    WriteFile(User() / "mine.desktop", Entry("Mine"));
    const auto start = ListSessionStarts().at(0);
    const fs::path keep = dir_ / "keep";
    fs::create_directories(keep);
    if (::geteuid() == 0) {
        for (const auto& e : fs::recursive_directory_iterator(dir_.path())) {
            (void)::chown(e.path().c_str(), kNobody, kNobody);
        }
        (void)::chown(dir_.path().c_str(), kNobody, kNobody);
    }
    fs::permissions(User() / "mine.desktop", fs::perms::none);
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) {
            ::_exit(3);
        }
        try {
            korvane::shell::TakeFromSession(start, keep);
        } catch (const korvane::Error& e) {
            ::_exit(std::string(e.what()).starts_with("Unable to read ") ? 0 : 2);
        } catch (...) {
            ::_exit(2);
        }
        ::_exit(1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: taken anyway, 2: another error, 3: no privilege drop";
    fs::permissions(User() / "mine.desktop", fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(ReadFile(User() / "mine.desktop"), Entry("Mine"));
    EXPECT_TRUE(korvane::shell::ListTaken(keep).empty());
}

} // namespace

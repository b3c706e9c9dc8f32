// Runs the real executable on a batch whose items wait for one another,
// under an X server with a window manager, and checks from the items' own
// notes that each next item started only once the one before was ready.
#include "app/launch_report.h"
#include "free_port_posix.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <csignal>
#include <fcntl.h>
#include <map>
#include <netinet/in.h>
#include <spawn.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace fs = std::filesystem;
using korvane::test::FreePort;
using korvane::test::ReadFile;
using korvane::test::TempDir;
using korvane::test::WaitFor;
using korvane::test::WriteFile;

namespace {

struct Note {
    std::string tag;
    long long pid = 0;
    double seconds = 0; // on the monotonic clock
};

class WaitLaunchTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (const char* display = std::getenv("DISPLAY"); !display || !*display) {
            GTEST_SKIP() << "needs an X server";
        }
        fs::copy_file(KORVANE_EXE, dir_ / "korvane");
        fs::permissions(dir_ / "korvane", fs::perms::owner_all);
        marker_ = dir_ / "marker.txt";
    }

    void TearDown() override {
        for (const Note& n : Notes()) {
            ::kill(static_cast<pid_t>(n.pid), SIGKILL);
        }
    }

    // Item n runs the helper with arguments; wait is its Wait key's value ("" none).
    std::string Item(int n, const std::string& arguments, const std::string& wait = "") {
        WriteFile(dir_ / "Shortcuts" / "7" / std::to_string(n) / "helper.lnk",
                  "[Shell Link]\nTarget=" HELPER_EXE "\nArguments=" + arguments + " " +
                      marker_.string() + "\n");
        if (!wait.empty()) {
            waits_ += "Wait" + std::to_string(n) + "=" + wait + "\r\n";
        }
        return "File;" + std::to_string(n) + "\\;Active";
    }

    void WriteBatch(const std::vector<std::string>& items) {
        std::string text = "[B]\r\nID=7\r\n";
        for (std::size_t i = 0; i < items.size(); ++i) {
            text += "Item" + std::to_string(i) + "=" + items[i] + "\r\n";
        }
        WriteFile(dir_ / "batches.lst", text + waits_);
    }

    pid_t Start() {
        std::vector<std::string> argv{(dir_ / "korvane").string(), "B"};
        std::vector<char*> args;
        for (std::string& a : argv) {
            args.push_back(a.data());
        }
        args.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 2, (dir_ / "stderr.txt").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        pid_t pid = 0;
        EXPECT_EQ(posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        return pid;
    }

    int Finish(pid_t pid) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::vector<Note> Notes() {
        std::vector<Note> notes;
        std::istringstream in(ReadFile(marker_));
        Note n;
        long long ns = 0;
        while (in >> n.tag >> n.pid >> ns) {
            n.seconds = static_cast<double>(ns) / 1e9;
            notes.push_back(n);
        }
        return notes;
    }

    std::map<std::string, Note> NotesByTag() {
        std::map<std::string, Note> byTag;
        for (const Note& n : Notes()) {
            byTag[n.tag] = n;
        }
        return byTag;
    }

    korvane::LaunchReport Report() {
        const auto report = korvane::LastLaunchOf(dir_ / "Reports", "B");
        EXPECT_TRUE(report.has_value());
        return report.value_or(korvane::LaunchReport{});
    }

    std::vector<std::string> WaitDetails() {
        std::vector<std::string> details;
        for (const auto& item : Report().items) {
            if (item.outcome == korvane::ItemOutcome::Waited) {
                details.push_back(item.detail);
            }
        }
        return details;
    }

    TempDir dir_;
    fs::path marker_;
    std::string waits_;
};

// The next item starts after the earlier one's condition came about, and
// soon after: well within what any polling at a slow interval would give.
void ExpectSoonAfter(const Note& ready, const Note& next, const char* what) {
    EXPECT_GE(next.seconds, ready.seconds) << what;
    EXPECT_LT(next.seconds - ready.seconds, 1.0) << what;
}

} // namespace

TEST_F(WaitLaunchTest, TheNextItemStartsOnceTheWindowIsMapped) {
    WriteBatch({Item(1, "window 2000", "Window;30"), Item(2, "stamp next")});
    const pid_t run = Start();
    EXPECT_EQ(Finish(run), 0) << ReadFile(dir_ / "stderr.txt");
    ASSERT_TRUE(WaitFor([&] { return NotesByTag().count("next") == 1; }));
    auto notes = NotesByTag();
    ASSERT_EQ(notes.count("mapped"), 1u);
    ExpectSoonAfter(notes["mapped"], notes["next"], "window");
    const auto details = WaitDetails();
    ASSERT_EQ(details.size(), 1u);
    EXPECT_TRUE(details[0].starts_with("for its window: it appeared after ")) << details[0];
}

TEST_F(WaitLaunchTest, AProgramHandingOverToItsRunningCopyCountsThatCopysWindow) {
    // A copy of the helper with its window up, as a browser already running.
    WriteBatch({Item(1, "window 0")});
    EXPECT_EQ(Finish(Start()), 0);
    ASSERT_TRUE(WaitFor([&] { return NotesByTag().count("mapped") == 1; }));
    waits_.clear();
    WriteBatch({Item(2, "exit 300 0", "Window;30"), Item(3, "stamp next")});
    EXPECT_EQ(Finish(Start()), 0);
    ASSERT_TRUE(WaitFor([&] { return NotesByTag().count("next") == 1; }));
    auto notes = NotesByTag();
    ExpectSoonAfter(notes["ending"], notes["next"], "handed over");
    const auto details = WaitDetails();
    ASSERT_EQ(details.size(), 1u);
    EXPECT_TRUE(details[0].starts_with("for its window: it handed over to a copy already open"))
        << details[0];
}

// A desktop entry whose command hands the program to the background and
// ends: the window is known by the entry's StartupWMClass.
TEST_F(WaitLaunchTest, AnEntrysWindowIsKnownByItsWindowClass) {
    WriteFile(dir_ / "Shortcuts" / "7" / "1" / "late.desktop",
              "[Desktop Entry]\nType=Application\nName=Late\nExec=sh -c \"" HELPER_EXE
              " window 1500 " +
                  marker_.string() + " &\"\nStartupWMClass=korvanelate\n");
    waits_ = "Wait1=Window;30\r\n";
    WriteBatch({"File;1\\;Active", Item(2, "stamp next")});
    EXPECT_EQ(Finish(Start()), 0) << ReadFile(dir_ / "stderr.txt");
    ASSERT_TRUE(WaitFor([&] { return NotesByTag().count("next") == 1; }));
    auto notes = NotesByTag();
    ASSERT_EQ(notes.count("mapped"), 1u) << ReadFile(marker_);
    ExpectSoonAfter(notes["mapped"], notes["next"], "window class");
    const auto details = WaitDetails();
    ASSERT_EQ(details.size(), 1u);
    EXPECT_TRUE(details[0].starts_with("for its window: it appeared after ")) << details[0];
}

TEST_F(WaitLaunchTest, EndPathAndPortWaitsHoldTheNextItemUntilTheyComeAbout) {
    const fs::path path = dir_ / "mnt" / "ready";
    const int port = FreePort();
    WriteBatch({Item(1, "exit 1000 7", "Ended;30"), Item(2, "stamp afterEnd"),
                Item(3, "touch 1000 " + path.string(), "Path;30;" + path.string()),
                Item(4, "stamp afterPath"),
                Item(5, "listen 1000 " + std::to_string(port), "Port;30;" + std::to_string(port)),
                Item(6, "stamp afterPort")});
    fs::create_directories(path.parent_path());
    EXPECT_EQ(Finish(Start()), 0) << ReadFile(dir_ / "stderr.txt");
    ASSERT_TRUE(WaitFor([&] { return NotesByTag().count("afterPort") == 1; }));
    auto notes = NotesByTag();
    ExpectSoonAfter(notes["ending"], notes["afterEnd"], "ended");
    ExpectSoonAfter(notes["made"], notes["afterPath"], "path");
    ExpectSoonAfter(notes["listening"], notes["afterPort"], "port");
    const auto details = WaitDetails();
    ASSERT_EQ(details.size(), 3u);
    EXPECT_TRUE(details[0].starts_with("until it ended: it ended with exit status 7 after "))
        << details[0];
    EXPECT_TRUE(details[1].starts_with("for " + path.string() + ": it appeared after "))
        << details[1];
    EXPECT_TRUE(details[2].starts_with("for port " + std::to_string(port) +
                                       ": it took a connection after "))
        << details[2];
}

TEST_F(WaitLaunchTest, EveryWaitThatNeverComesAboutGivesUpAtItsLimitAndTheBatchGoesOn) {
    WriteBatch({Item(1, "idle 30", "Window;1"), Item(2, "idle 30", "Ended;1"),
                Item(3, "stamp p", "Path;1;" + (dir_ / "never").string()),
                Item(4, "stamp q", "Port;1;" + std::to_string(FreePort())), Item(5, "stamp last")});
    EXPECT_EQ(Finish(Start()), 0) << ReadFile(dir_ / "stderr.txt");
    ASSERT_TRUE(WaitFor([&] { return NotesByTag().count("last") == 1; }));
    auto notes = NotesByTag();
    EXPECT_GE(notes["last"].seconds - notes["idle"].seconds, 2.0); // the last two idle ones
    const auto details = WaitDetails();
    ASSERT_EQ(details.size(), 4u);
    for (const std::string& d : details) {
        EXPECT_NE(d.find(": gave up after 1 s, "), std::string::npos) << d;
    }
}

TEST_F(WaitLaunchTest, EndingTheLaunchDuringAWaitStopsItAndLeavesWhatStartedRunning) {
    WriteBatch({Item(1, "idle 30", "Window;60"), Item(2, "stamp next")});
    const pid_t run = Start();
    ASSERT_TRUE(WaitFor([&] { return NotesByTag().count("idle") == 1; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    // Waiting for a window takes libxcb, and still nothing of Qt.
    const std::string maps = ReadFile("/proc/" + std::to_string(run) + "/maps");
    EXPECT_NE(maps.find("libxcb"), std::string::npos);
    EXPECT_EQ(maps.find("libQt6"), std::string::npos);
    ::kill(run, SIGTERM);
    EXPECT_EQ(Finish(run), 4);
    const Note idle = NotesByTag()["idle"];
    EXPECT_EQ(::kill(static_cast<pid_t>(idle.pid), 0), 0) << "the started item was ended too";
    EXPECT_EQ(NotesByTag().count("next"), 0u);
    const auto report = Report();
    EXPECT_EQ(report.end, "cancelled after item 1");
    ASSERT_EQ(WaitDetails().size(), 1u);
    EXPECT_TRUE(WaitDetails()[0].starts_with("for its window: cancelled after"));
}

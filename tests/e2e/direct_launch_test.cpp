// Runs the real executable from a temporary program folder, as a desktop
// shortcut or a logon script would, and checks what it really started.
#include "app/launch_report.h"
#include "store/ini_file.h"
#include "test_support.h"

#include <algorithm>
#include <atomic>

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>

extern char** environ;

namespace fs = std::filesystem;
using korvane::test::ReadFile;
using korvane::test::TempDir;
using korvane::test::WaitFor;
using korvane::test::WriteFile;

namespace {

struct RunResult {
    int exitCode = -1;
    std::string stderrText;
    std::string stdoutText;
};

class DirectLaunchTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::copy_file(KORVANE_EXE, dir_ / "korvane");
        fs::permissions(dir_ / "korvane", fs::perms::owner_all);
        marker_ = dir_ / "marker.txt";
        script_ = dir_ / "targets" / "mark.sh";
        WriteFile(script_,
                  "#!/bin/sh\necho \"$1|$(pwd)|$(date +%s.%N)\" >> '" + marker_.string() + "'\n");
        fs::permissions(script_, fs::perms::owner_all);
    }

    // An application item in folder n of batch folder 7 whose link runs the
    // marker script with tag as its argument.
    std::string App(int n, const std::string& tag, const std::string& workingDir = "") {
        std::string link = "[Shell Link]\nTarget=" + script_.string() + "\nArguments=" + tag + "\n";
        if (!workingDir.empty()) {
            link += "WorkingDirectory=" + workingDir + "\n";
        }
        WriteFile(dir_ / "Shortcuts" / "7" / std::to_string(n) / "mark.sh.lnk", link);
        return "File;" + std::to_string(n) + "\\;Active";
    }

    void WriteBatch(const std::string& name, const std::vector<std::string>& items) {
        std::string text = "[" + name + "]\r\nID=7\r\n";
        for (std::size_t i = 0; i < items.size(); ++i) {
            text += "Item" + std::to_string(i) + "=" + items[i] + "\r\n";
        }
        WriteFile(dir_ / "batches.lst", text);
    }

    RunResult Run(const std::string& argument) {
        return Run({(dir_ / "korvane").string(), argument});
    }

    // With terminal, stderr is a terminal (a pseudo-terminal read here), as
    // for a user who types the command.
    RunResult Run(std::vector<std::string> command, const std::vector<std::string>& extraEnv = {},
                  bool terminal = false) {
        static std::atomic<int> runs{0};
        const int run = runs++;
        const fs::path errFile = dir_ / ("stderr-" + std::to_string(run) + ".txt");
        const fs::path outFile = dir_ / ("stdout-" + std::to_string(run) + ".txt");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        int master = -1, slaveHeld = -1;
        std::string slave;
        if (terminal) {
            master = ::posix_openpt(O_RDWR | O_NOCTTY);
            EXPECT_GE(master, 0);
            EXPECT_EQ(::grantpt(master), 0);
            EXPECT_EQ(::unlockpt(master), 0);
            slave = ::ptsname(master);
            posix_spawn_file_actions_addopen(&actions, 2, slave.c_str(), O_RDWR | O_NOCTTY, 0);
            // Held open here too: the terminal outlives the program, so
            // nothing it wrote is lost when it ends.
            slaveHeld = ::open(slave.c_str(), O_RDWR | O_NOCTTY);
        } else {
            posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(),
                                             O_WRONLY | O_CREAT | O_TRUNC, 0644);
        }
        // No display: a direct launch must not need one.
        std::vector<std::string> envStore;
        for (char** e = environ; *e; ++e) {
            const std::string var = *e;
            const bool replaced = std::any_of(extraEnv.begin(), extraEnv.end(), [&](const auto& x) {
                return var.starts_with(x.substr(0, x.find('=') + 1));
            });
            if (!replaced && !var.starts_with("DISPLAY=") && !var.starts_with("WAYLAND_DISPLAY=") &&
                !var.starts_with("QT_QPA_PLATFORM=")) {
                envStore.push_back(var);
            }
        }
        envStore.insert(envStore.end(), extraEnv.begin(), extraEnv.end());
        // No notification reaches the desktop of whoever runs the tests.
        if (std::none_of(extraEnv.begin(), extraEnv.end(), [](const std::string& x) {
                return x.starts_with("DBUS_SESSION_BUS_ADDRESS=");
            })) {
            std::erase_if(envStore, [](const std::string& v) {
                return v.starts_with("DBUS_SESSION_BUS_ADDRESS=");
            });
            envStore.push_back("DBUS_SESSION_BUS_ADDRESS=disabled:");
        }
        std::vector<char*> env;
        for (std::string& v : envStore) {
            env.push_back(v.data());
        }
        env.push_back(nullptr);
        std::vector<char*> argv;
        for (std::string& a : command) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        pid_t pid = 0;
        RunResult result;
        if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), env.data()) == 0) {
            int status = 0;
            ::waitpid(pid, &status, 0);
            result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        if (terminal) {
            // What the terminal holds, until it has been quiet a while (the
            // kernel passes a terminal's output on in its own time); its
            // line ends are "\r\n".
            char buffer[4096];
            pollfd ready{master, POLLIN, 0};
            while (::poll(&ready, 1, 300) > 0) {
                const ssize_t n = ::read(master, buffer, sizeof buffer);
                if (n <= 0) {
                    break;
                }
                result.stderrText.append(buffer, static_cast<std::size_t>(n));
            }
            std::erase(result.stderrText, '\r');
            ::close(slaveHeld);
            ::close(master);
            return result;
        }
        result.stderrText = ReadFile(errFile);
        result.stdoutText = ReadFile(outFile);
        return result;
    }

    struct Mark {
        std::string tag, folder;
        double time;
    };

    // Waits until count lines are there, then a moment more for any stray one.
    std::vector<Mark> Marks(std::size_t count) {
        auto lines = [&] {
            std::vector<Mark> marks;
            std::istringstream in(ReadFile(marker_));
            std::string line;
            while (std::getline(in, line)) {
                const auto a = line.find('|'), b = line.rfind('|');
                marks.push_back({line.substr(0, a), line.substr(a + 1, b - a - 1),
                                 std::stod(line.substr(b + 1))});
            }
            return marks;
        };
        WaitFor([&] { return lines().size() >= count; });
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        return lines();
    }

    TempDir dir_;
    fs::path marker_, script_;
};

TEST_F(DirectLaunchTest, RunsTheBatchInOrderEachItemInItsStartFolder) {
    const std::string name = "Grüße, Monday morning";
    const fs::path own = dir_ / "own folder";
    fs::create_directories(own);
    WriteBatch(name, {App(1, "A"), "Interval;0:00:01;Active", "File;2\\;Disabled",
                      "Interval;0:10:00;Disabled", App(3, "C", own.string())});
    const fs::path home = dir_ / "home";
    fs::create_directories(home);
    const RunResult r = Run({(dir_ / "korvane").string(), name}, {"HOME=" + home.string()});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.stderrText, "");
    const auto marks = Marks(2);
    ASSERT_EQ(marks.size(), 2u);
    EXPECT_EQ(marks[0].tag, "A");
    // A link naming no folder starts in the home folder, as desktop launchers do.
    EXPECT_EQ(fs::path(marks[0].folder), home);
    EXPECT_EQ(marks[1].tag, "C");
    EXPECT_EQ(fs::path(marks[1].folder), own);
    EXPECT_GE(marks[1].time - marks[0].time, 0.9); // the one-second pause lay between them
}

TEST_F(DirectLaunchTest, DocumentsAndEntriesOpenThroughTheDesktopsHandlers) {
    // A "browser" of this test is the user's handler of web pages, as Help
    // and an item that is a page rely on.
    const fs::path data = dir_ / "data", config = dir_ / "config";
    WriteFile(data / "applications" / "test-browser.desktop",
              "[Desktop Entry]\nType=Application\nName=Test browser\nExec=" + script_.string() +
                  " %u\nMimeType=text/html;\n");
    WriteFile(config / "mimeapps.list", "[Default Applications]\ntext/html=test-browser.desktop\n");
    WriteFile(dir_ / "pages" / "help page.html", "<html></html>\n");
    WriteFile(dir_ / "Shortcuts" / "7" / "1" / "page.lnk",
              "[Shell Link]\nTarget=" + (dir_ / "pages" / "help page.html").string() + "\n");
    WriteFile(dir_ / "Shortcuts" / "7" / "2" / "org.example.Tool.desktop",
              "[Desktop Entry]\nType=Application\nName=Tool\nExec=" + script_.string() +
                  " entry\n");
    WriteBatch("Docs", {"File;1\\;Active", "File;2\\;Active"});
    const RunResult r = Run({(dir_ / "korvane").string(), "Docs"},
                            {"XDG_DATA_HOME=" + data.string(), "XDG_CONFIG_HOME=" + config.string(),
                             "XDG_DATA_DIRS=/usr/local/share:/usr/share", "GIO_USE_VFS=local",
                             "DBUS_SESSION_BUS_ADDRESS=disabled:", "HOME=" + dir_.path().string()});
    EXPECT_EQ(r.exitCode, 0) << r.stderrText;
    auto marks = Marks(2);
    ASSERT_EQ(marks.size(), 2u);
    // The handler runs on its own, so the two may come in either order.
    const Mark& page = marks[0].tag == "entry" ? marks[1] : marks[0];
    EXPECT_EQ((marks[0].tag == "entry" ? marks[0] : marks[1]).tag, "entry");
    // A path or a file: address, whichever the handler asked for.
    EXPECT_TRUE(page.tag.ends_with("help page.html") || page.tag.ends_with("help%20page.html"))
        << page.tag;
}

TEST_F(DirectLaunchTest, AMissingItemFolderEndsTheRun) {
    WriteBatch("B", {App(1, "A"), "File;99\\;Active", App(3, "C")});
    const RunResult r = Run("B");
    EXPECT_EQ(r.exitCode, 3);
    // Not at a terminal and not asked: nothing is said, the report tells.
    EXPECT_EQ(r.stderrText, "");
    const auto marks = Marks(1);
    ASSERT_EQ(marks.size(), 1u);
    EXPECT_EQ(marks[0].tag, "A");
}

// A user at a terminal learns what went wrong, and so does one who reads the
// report afterwards; the items after a program that did not start still run.
TEST_F(DirectLaunchTest, WhatDidNotStartIsSaidOnTheTerminalAndInTheReport) {
    WriteFile(dir_ / "Shortcuts" / "7" / "2" / "gone.lnk",
              "[Shell Link]\nTarget=" + (dir_ / "gone" / "program").string() + "\n");
    WriteBatch("Morning",
               {App(1, "A"), "File;2\\;Active", App(3, "C"), "File;99\\;Active", App(5, "E")});
    const RunResult r = Run({(dir_ / "korvane").string(), "Morning"}, {}, true);
    EXPECT_EQ(r.exitCode, 3);
    const auto marks = Marks(2);
    ASSERT_EQ(marks.size(), 2u);
    // Started one after the other, they may write in either order.
    EXPECT_EQ(marks[0].tag + marks[1].tag == "AC" ? "AC" : marks[1].tag + marks[0].tag, "AC");
    const std::string expected[] = {
        "Morning, item 1: started mark.sh (process ",
        "Morning, item 2: failed to start gone: \"" + (dir_ / "gone" / "program").string() +
            "\": No such file or directory\n",
        "Morning, item 3: started mark.sh (process ",
        "Morning, item 4: not found folder 99: no file in " +
            (dir_ / "Shortcuts" / "7" / "99").string() + "\n",
        "Morning: stopped at item 4, which was not found; 2 started, 1 failed to start, "
        "1 not found\n",
    };
    std::size_t at = 0;
    for (const std::string& line : expected) {
        const std::size_t found = r.stderrText.find(line, at);
        ASSERT_NE(found, std::string::npos) << line << "\nin:\n" << r.stderrText;
        at = found + line.size();
    }
    EXPECT_EQ(std::count(r.stderrText.begin(), r.stderrText.end(), '\n'), 5) << r.stderrText;

    const auto reports = korvane::ListReports(dir_ / "Reports");
    ASSERT_EQ(reports.size(), 1u);
    const auto report = korvane::ParseReport(ReadFile(reports[0]));
    ASSERT_TRUE(report);
    EXPECT_EQ(report->batch, "Morning");
    EXPECT_EQ(report->origin, "command");
    ASSERT_EQ(report->items.size(), 4u);
    EXPECT_EQ(report->items[0].outcome, korvane::ItemOutcome::Started);
    EXPECT_GT(report->items[0].processId, 0);
    EXPECT_EQ(report->items[1].outcome, korvane::ItemOutcome::FailedToStart);
    EXPECT_NE(report->items[1].detail.find("No such file"), std::string::npos);
    EXPECT_EQ(report->items[3].outcome, korvane::ItemOutcome::NotFound);
    EXPECT_EQ(report->end, "stopped at item 4, which was not found");

    // Asked with --verbose, a run says the same without a terminal.
    WriteBatch("Morning", {App(1, "A")});
    const RunResult quiet = Run("Morning");
    EXPECT_EQ(quiet.exitCode, 0);
    EXPECT_EQ(quiet.stderrText, "");
    const RunResult verbose = Run({(dir_ / "korvane").string(), "--verbose", "Morning"});
    EXPECT_EQ(verbose.exitCode, 0);
    EXPECT_NE(verbose.stderrText.find("Morning: finished; 1 started\n"), std::string::npos)
        << verbose.stderrText;
    EXPECT_EQ(korvane::ListReports(dir_ / "Reports").size(), 3u);
}

// A session bus of its own with the test notification service on it.
class NotificationSession {
  public:
    // With bodyMarkup the service says it reads markup in the body.
    NotificationSession(const fs::path& dir, const char* mode, bool bodyMarkup = false)
        : log_(dir / "notifications.log") {
        address_ = "unix:path=" + (dir / "bus").string();
        Spawn({"dbus-daemon", "--session", "--nofork", "--nopidfile", "--address=" + address_}, {});
        EXPECT_TRUE(WaitFor([&] { return fs::exists(dir / "bus"); }));
        Spawn({NOTIFICATION_SERVICE, log_.string(), mode, bodyMarkup ? "body-markup" : ""},
              {"DBUS_SESSION_BUS_ADDRESS=" + address_});
        ready_ = WaitFor([&] { return fs::exists(log_.string() + ".ready"); });
    }
    // The bus daemon dies, as with a session that ends.
    void EndBus() {
        ::kill(children_.front(), SIGKILL);
        ::waitpid(children_.front(), nullptr, 0);
        children_.erase(children_.begin());
    }
    ~NotificationSession() {
        for (const pid_t pid : children_) {
            ::kill(pid, SIGTERM);
            ::waitpid(pid, nullptr, 0);
        }
    }
    bool ready() const { return ready_; }
    std::string Address() const { return "DBUS_SESSION_BUS_ADDRESS=" + address_; }
    // The notifications shown so far: "summary|body|actions".
    std::vector<std::string> Shown() const {
        std::vector<std::string> lines;
        std::istringstream in(ReadFile(log_));
        for (std::string line; std::getline(in, line);) {
            std::replace(line.begin(), line.end(), '\x1f', '|');
            lines.push_back(line);
        }
        return lines;
    }

  private:
    void Spawn(std::vector<std::string> argv, const std::vector<std::string>& extraEnv) {
        std::vector<std::string> envStore;
        for (char** e = environ; *e; ++e) {
            if (!std::string_view(*e).starts_with("DBUS_SESSION_BUS_ADDRESS=")) {
                envStore.push_back(*e);
            }
        }
        envStore.insert(envStore.end(), extraEnv.begin(), extraEnv.end());
        std::vector<char*> env, args;
        for (std::string& v : envStore) {
            env.push_back(v.data());
        }
        env.push_back(nullptr);
        for (std::string& a : argv) {
            args.push_back(a.data());
        }
        args.push_back(nullptr);
        pid_t pid = 0;
        if (posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), env.data()) == 0) {
            children_.push_back(pid);
        }
    }

    fs::path log_;
    std::string address_;
    std::vector<pid_t> children_;
    bool ready_ = false;
};

// A run nobody watches (a desktop shortcut: stderr goes nowhere) that could
// not start everything shows one notification naming the batch; a click on it
// opens the report. A clean run, a run at a terminal and a user who switched
// them off get none.
TEST_F(DirectLaunchTest, ARunNobodyWatchesTellsOfWhatDidNotStart) {
    if (!KORVANE_HAS_WINDOWS) {
        GTEST_SKIP() << "notifications come with the GIO module";
    }
    NotificationSession session(dir_.path(), "click");
    ASSERT_TRUE(session.ready()) << "no test notification service";
    // The report opens in the user's handler of plain text: the marker script.
    const fs::path data = dir_ / "data", config = dir_ / "config";
    WriteFile(data / "applications" / "test-viewer.desktop",
              "[Desktop Entry]\nType=Application\nName=Viewer\nExec=" + script_.string() +
                  " %f\nMimeType=text/plain;\n");
    WriteFile(config / "mimeapps.list", "[Default Applications]\ntext/plain=test-viewer.desktop\n");
    const std::vector<std::string> env = {session.Address(),
                                          "XDG_DATA_HOME=" + data.string(),
                                          "XDG_CONFIG_HOME=" + config.string(),
                                          "XDG_DATA_DIRS=/usr/local/share:/usr/share",
                                          "GIO_USE_VFS=local",
                                          "HOME=" + dir_.path().string()};
    const std::string exe = (dir_ / "korvane").string();

    // Opened as a user opens a desktop shortcut: the desktop's launcher runs it.
    WriteBatch("Morning", {App(1, "A"), "File;99\\;Active"});
    const fs::path shortcut = dir_ / "Desktop" / "Morning.desktop";
    WriteFile(shortcut, "[Desktop Entry]\nType=Application\nName=Morning\nExec=" + exe +
                            " Morning\nTerminal=false\n");
    EXPECT_EQ(Run({"gio", "launch", shortcut.string()}, env).exitCode, 0);
    ASSERT_TRUE(WaitFor([&] { return !session.Shown().empty(); }));
    EXPECT_EQ(session.Shown(),
              std::vector<std::string>{"Morning: 1 of 2 started|folder 99 not found|default,Show "
                                       "the report"});
    // The click opened the newest report.
    const auto marks = Marks(2);
    ASSERT_EQ(marks.size(), 2u);
    const Mark& opened = marks[0].tag == "A" ? marks[1] : marks[0];
    EXPECT_EQ(fs::path(opened.tag), korvane::ListReports(dir_ / "Reports").at(0));

    // A clean run, a run at a terminal, a user who switched them off: none.
    WriteBatch("Clean", {App(1, "A")});
    EXPECT_EQ(Run({exe, "Clean"}, env).exitCode, 0);
    WriteBatch("Morning", {"File;98\\;Active"});
    EXPECT_EQ(Run({exe, "Morning"}, env, true).exitCode, 3);
    WriteFile(dir_ / "korvane.ini", "[Basic]\r\nNotifyProblems=0\r\n");
    EXPECT_EQ(Run({exe, "Morning"}, env).exitCode, 3);
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_EQ(session.Shown().size(), 1u);
}

// The notice's own process: the body is markup only for a service that says
// it reads markup (the summary never is), and the wait for a click ends with
// the service that shows the notice or with the session's bus.
TEST_F(DirectLaunchTest, ANoticeSuitsItsServiceAndEndsWithIt) {
    if (!KORVANE_HAS_WINDOWS) {
        GTEST_SKIP() << "notifications come with the GIO module";
    }
    const std::string summary = "Tom & Jerry <b>: 1 of 2 started";
    const std::string body = "Mail \"x\" & 'y' <i> not found";
    const std::string actions = "|default,Show the report";
    const std::string plain = summary + "|" + body + actions;
    struct Row {
        const char* name;
        const char* mode;
        bool bodyMarkup, endBus;
        std::string shown;
    } rows[] = {
        {"plain-text service", "close", false, false, plain},
        {"markup service", "close", true, false,
         summary + "|Mail &quot;x&quot; &amp; &apos;y&apos; &lt;i&gt; not found" + actions},
        {"service that goes away", "leave", false, false, plain},
        {"bus that ends", "keep", false, true, plain},
    };
    int n = 0;
    for (const Row& row : rows) {
        const fs::path dir = dir_ / ("session" + std::to_string(n++));
        fs::create_directories(dir);
        NotificationSession session(dir, row.mode, row.bodyMarkup);
        ASSERT_TRUE(session.ready()) << row.name;
        std::thread busEnd([&] {
            if (row.endBus && WaitFor([&] { return !session.Shown().empty(); })) {
                session.EndBus();
            }
        });
        // "timeout" ends a notice that waits on for nothing (exit 124).
        const RunResult r = Run({"timeout", "10", (dir_ / "korvane").string(), "--notify", summary,
                                 body, (dir / "report.txt").string()},
                                {session.Address()});
        busEnd.join();
        EXPECT_EQ(r.exitCode, 0) << row.name << "\n" << r.stderrText;
        EXPECT_EQ(session.Shown(), std::vector<std::string>{row.shown}) << row.name;
    }
}

// A report that cannot be written costs the launch nothing.
TEST_F(DirectLaunchTest, AReportThatCannotBeWrittenDoesNotStopTheRun) {
    WriteFile(dir_ / "Reports", "a file where the folder would go");
    WriteBatch("B", {App(1, "A"), App(2, "B")});
    const RunResult r = Run("B");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(Marks(2).size(), 2u);
    EXPECT_NE(r.stderrText.find("the launch goes on without its report"), std::string::npos);
    EXPECT_EQ(std::count(r.stderrText.begin(), r.stderrText.end(), '\n'), 1) << r.stderrText;
}

TEST_F(DirectLaunchTest, ABadPauseEndsTheProgramWithTheError) {
    WriteBatch("B", {App(1, "A"), "Interval;half past;Active", App(3, "C")});
    const RunResult r = Run("b");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.stderrText.find("Exception ConvertError in module korvane at "), std::string::npos)
        << r.stderrText;
    EXPECT_NE(r.stderrText.find("\n'half past' is not a valid time.\n"), std::string::npos)
        << r.stderrText;
    const auto marks = Marks(1);
    ASSERT_EQ(marks.size(), 1u);
    EXPECT_EQ(marks[0].tag, "A");
}

TEST_F(DirectLaunchTest, BlanksAroundABatchNameAreNotPartOfIt) {
    WriteFile(dir_ / "batches.lst", "[Trail ]\r\nID=7\r\nItem0=" + App(1, "T") + "\r\n");
    for (const char* name : {"Trail ", "Trail", " trail\t"}) {
        EXPECT_EQ(Run(name).exitCode, 0) << name;
    }
    EXPECT_EQ(Marks(3).size(), 3u);
}

TEST_F(DirectLaunchTest, AFatalErrorEndsWithExitCodeOneWhateverTheDisplay) {
    WriteBatch("B", {"Interval;soon;Active"});
    struct Row {
        const char* name;
        std::vector<std::string> env;
    } rows[] = {
        {"no display", {}},
        {"X display that does not answer", {"DISPLAY=:987"}},
        {"Wayland socket that is not there", {"WAYLAND_DISPLAY=korvane-nowhere"}},
        {"both dead", {"DISPLAY=:987", "WAYLAND_DISPLAY=korvane-nowhere"}},
        {"X chosen without an X display", {"QT_QPA_PLATFORM=xcb"}},
        {"invisible platform", {"QT_QPA_PLATFORM=offscreen"}},
    };
    for (const Row& row : rows) {
        auto env = row.env;
        env.push_back("XDG_RUNTIME_DIR=" + dir_.path().string());
        // "timeout" ends a run that waits on a box nobody can see (exit 124).
        const RunResult r = Run({"timeout", "30", (dir_ / "korvane").string(), "B"}, env);
        EXPECT_EQ(r.exitCode, 1) << row.name << "\n" << r.stderrText;
        EXPECT_NE(r.stderrText.find("'soon' is not a valid time."), std::string::npos) << row.name;
    }
}

TEST_F(DirectLaunchTest, TheWindowModesSayWhyThereIsNoWindowWithoutADisplay) {
    if (!KORVANE_HAS_WINDOWS) {
        GTEST_SKIP() << "built without the windows";
    }
    for (const char* mode : {"", "-startup"}) {
        for (const std::vector<std::string>& env :
             {std::vector<std::string>{}, {"DISPLAY=:987"}, {"WAYLAND_DISPLAY=korvane-nowhere"}}) {
            std::vector<std::string> command{"timeout", "30", (dir_ / "korvane").string()};
            if (*mode) {
                command.push_back(mode);
            }
            auto withRuntime = env;
            withRuntime.push_back("XDG_RUNTIME_DIR=" + dir_.path().string());
            const RunResult r = Run(command, withRuntime);
            EXPECT_EQ(r.exitCode, 1) << mode << "\n" << r.stderrText;
            EXPECT_NE(r.stderrText.find("need a graphical session"), std::string::npos)
                << r.stderrText;
            EXPECT_EQ(std::count(r.stderrText.begin(), r.stderrText.end(), '\n'), 1)
                << r.stderrText;
        }
    }
}

// A direct launch maps no window-system library, and for plain programs no
// GIO either: both are loaded only when something needs them.
TEST_F(DirectLaunchTest, ADirectLaunchMapsNeitherQtNorGio) {
    WriteBatch("Plain", {App(1, "A"), "Interval;0:00:02;Active"});
    std::vector<std::string> argv{(dir_ / "korvane").string(), "Plain"};
    std::vector<char*> args;
    for (std::string& a : argv) {
        args.push_back(a.data());
    }
    args.push_back(nullptr);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, args[0], nullptr, nullptr, args.data(), environ), 0);
    ASSERT_EQ(Marks(1).size(), 1u); // the item is out; the pause holds the process
    const std::string maps = ReadFile("/proc/" + std::to_string(pid) + "/maps");
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_FALSE(maps.empty());
    for (const char* library : {"libQt6", "libgio-2.0", "libglib-2.0", "libgobject", "libX11",
                                "libxcb", "korvane-windows", "korvane-gio"}) {
        EXPECT_EQ(maps.find(library), std::string::npos) << library << " is mapped";
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

// A desktop shortcut or a script naming a batch that is gone learns so.
TEST_F(DirectLaunchTest, AnUnknownBatchIsSaidAndEndsWithCodeTwo) {
    WriteBatch("B", {App(1, "A")});
    for (const char* name : {"Nobody", "-Startup"}) {
        const RunResult r = Run(name);
        EXPECT_EQ(r.exitCode, 2) << name;
        EXPECT_NE(r.stderrText.find("no batch named \"" + std::string(name) + "\""),
                  std::string::npos)
            << r.stderrText;
        EXPECT_EQ(std::count(r.stderrText.begin(), r.stderrText.end(), '\n'), 1) << name;
    }
    EXPECT_TRUE(Marks(0).empty());
}

TEST_F(DirectLaunchTest, HelpAndVersionArePrintedNotLaunched) {
    WriteBatch("B", {App(1, "A")});
    for (const char* option : {"--help", "-h"}) {
        const RunResult r = Run(option);
        EXPECT_EQ(r.exitCode, 0) << option;
        EXPECT_NE(r.stdoutText.find("Usage: korvane"), std::string::npos) << r.stdoutText;
    }
    const RunResult r = Run("--version");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.stdoutText, "korvane 1.0.0.0\n");
    EXPECT_TRUE(Marks(0).empty());
}

// A catalogue the user cannot read is an error, not a catalogue without the
// batch (run as an ordinary user: root reads any file).
TEST_F(DirectLaunchTest, AnUnreadableCatalogueIsAnError) {
    WriteBatch("B", {App(1, "A")});
    fs::permissions(dir_ / "batches.lst", fs::perms::none);
    fs::permissions(dir_ / "korvane", fs::perms::others_read | fs::perms::others_exec,
                    fs::perm_options::add);
    std::vector<std::string> command{(dir_ / "korvane").string(), "B"};
    if (::geteuid() == 0) {
        command.insert(command.begin(),
                       {"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"});
    }
    const RunResult r = Run(command);
    EXPECT_EQ(r.exitCode, 1) << r.stderrText;
    EXPECT_NE(r.stderrText.find("Unable to read "), std::string::npos) << r.stderrText;
    EXPECT_TRUE(Marks(0).empty());
}

TEST_F(DirectLaunchTest, FiveLaunchesAndTwoWritersShareOneProgramFolder) {
    WriteBatch("Work", {App(1, "A"), App(2, "B"), App(3, "C")});
    // Two writers stand in for an editor and a startup menu: the same
    // profile-file code, in processes of their own.
    std::vector<pid_t> writers;
    for (int w = 0; w < 2; ++w) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            korvane::TIniFile ini(dir_ / (w == 0 ? "batches.lst" : "korvane.prm"));
            for (int i = 0; i < 100; ++i) {
                ini.WriteText(w == 0 ? "Work" : "Form2", "K" + std::to_string(i),
                              std::to_string(i));
            }
            ::_exit(0);
        }
        writers.push_back(pid);
    }
    std::vector<std::thread> launches;
    std::atomic<int> ok{0};
    for (int l = 0; l < 5; ++l) {
        launches.emplace_back([&] { ok += Run("Work").exitCode == 0; });
    }
    for (auto& t : launches) {
        t.join();
    }
    for (const pid_t pid : writers) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(ok, 5);
    EXPECT_EQ(Marks(15).size(), 15u); // every launch ran its three items
    korvane::TIniFile catalogue(dir_ / "batches.lst");
    for (int i = 0; i < 100; ++i) {
        ASSERT_EQ(catalogue.ReadText("Work", "K" + std::to_string(i), ""), std::to_string(i));
    }
    EXPECT_EQ(catalogue.ReadText("Work", "Item2", ""), "File;3\\;Active");
}

TEST_F(DirectLaunchTest, StartupMenuCountdownLaunchesTheDefaultBatch) {
    if (!KORVANE_HAS_WINDOWS) {
        GTEST_SKIP() << "built without the windows";
    }
    // Programs started back to back may write in either order; a short pause
    // between them keeps the order of the marks that of the launches.
    // Its last item is gone: nobody chose the launch, so a notification tells.
    WriteBatch("Work",
               {App(1, "A"), "Interval;0:00:00.300;Active", App(2, "B"), "File;99\\;Active"});
    WriteFile(dir_ / "korvane.ini",
              "[Basic]\r\nDefaultBatch=work\r\nDefaultStart=1\r\nDefaultStartInterval=0:00:01\r\n");
    NotificationSession session(dir_.path(), "close");
    ASSERT_TRUE(session.ready()) << "no test notification service";
    std::vector<std::string> command{(dir_ / "korvane").string(), "-startup"};
    std::vector<std::string> env{"XDG_RUNTIME_DIR=" + dir_.path().string(), session.Address()};
    if (fs::exists("/usr/bin/xvfb-run")) {
        command.insert(command.begin(), {"xvfb-run", "-a"});
    } else {
        env.push_back("QT_QPA_PLATFORM=offscreen");
    }
    const RunResult r = Run(command, env);
    EXPECT_EQ(r.exitCode, 0) << r.stderrText;
    const auto marks = Marks(2);
    ASSERT_EQ(marks.size(), 2u);
    EXPECT_EQ(marks[0].tag, "A");
    EXPECT_EQ(marks[1].tag, "B");
    // The menu was hidden for the launch and saved its layout as it closed.
    const std::string layout = ReadFile(dir_ / "korvane.prm");
    EXPECT_NE(layout.find("Form2.Visible=0\r\n"), std::string::npos) << layout;
    EXPECT_NE(layout.find("[Debug-Form2]\r\nMark1=Yes\r\n"), std::string::npos) << layout;
    ASSERT_TRUE(WaitFor([&] { return !session.Shown().empty(); }));
    EXPECT_EQ(session.Shown(), std::vector<std::string>{"Work: 2 of 3 started|folder 99 not "
                                                        "found|default,Show the report"});
    const auto report = korvane::LastLaunchOf(dir_ / "Reports", "Work");
    ASSERT_TRUE(report);
    EXPECT_EQ(report->origin, "startup menu countdown");
}

} // namespace

namespace {

// What a script or a desktop shortcut gets back when the command cannot be
// carried out: an exit code and one line that says why, at once.
TEST_F(DirectLaunchTest, ACommandThatCannotBeCarriedOutSaysWhy) {
    const struct {
        const char* name;
        std::function<void(const fs::path& dir)> arrange;
        std::vector<std::string> arguments;
        int exitCode;
        const char* says;
    } rows[] = {
        {"a second batch", [](const fs::path&) {}, {"Work", "Play"}, 2, "one batch at a time"},
        {"a batch named like an option runs as a batch",
         [](const fs::path&) {},
         {"--", "-startup"},
         0,
         ""},
        {"a state folder others can write",
         [](const fs::path& dir) {
             fs::permissions(dir, fs::perms::others_write, fs::perm_options::add);
         },
         {"-startup"},
         1,
         "chmod go-w"},
        {"a catalogue others can write",
         [](const fs::path& dir) {
             fs::permissions(dir / "batches.lst", fs::perms::others_write, fs::perm_options::add);
         },
         {"Work"},
         1,
         "chmod go-w"},
        {"a pipe for the catalogue",
         [](const fs::path& dir) {
             fs::remove(dir / "batches.lst");
             ASSERT_EQ(::mkfifo((dir / "batches.lst").c_str(), 0600), 0);
         },
         {"Work"},
         1,
         "it is not a regular file"},
    };
    for (const auto& row : rows) {
        std::string text =
            "[-startup]\r\nID=7\r\nItem0=" + App(1, "startup") + "\r\n[Work]\r\nID=8\r\n";
        fs::remove(dir_ / "batches.lst");
        WriteFile(dir_ / "batches.lst", text);
        row.arrange(dir_.path());
        std::vector<std::string> command{"timeout", "20", (dir_ / "korvane").string()};
        command.insert(command.end(), row.arguments.begin(), row.arguments.end());
        const RunResult r = Run(command);
        fs::permissions(dir_.path(), fs::perms::others_write, fs::perm_options::remove);
        EXPECT_EQ(r.exitCode, row.exitCode) << row.name << ": " << r.stderrText;
        EXPECT_NE(r.stderrText.find(row.says), std::string::npos)
            << row.name << ": " << r.stderrText;
    }
    // The batch named like the startup menu's option was launched, not the menu.
    EXPECT_EQ(Marks(1).size(), 1u);
}

} // namespace

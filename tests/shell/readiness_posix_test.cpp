#include "free_port_posix.h"
#include "shell/readiness.h"
#include "shell/scoped_env.h"
#include "shell/shell.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using korvane::ItemWait;
using korvane::WaitKind;
using korvane::shell::ReadyState;
using korvane::test::FreePort;
using korvane::test::TempDir;
using korvane::test::WriteFile;

namespace {

fs::path Script(const fs::path& dir, const std::string& body) {
    const fs::path file = dir / "item.sh";
    WriteFile(file, "#!/bin/sh\n" + body + "\n");
    ::chmod(file.c_str(), 0755);
    return file;
}

} // namespace

TEST(Readiness, AnItemThatEndsIsWaitedForAndItsExitStatusKept) {
    TempDir dir;
    const auto opened =
        korvane::shell::ShellOpen(Script(dir.path(), "sleep 0.3\nexit 3"), "", dir.path());
    ASSERT_TRUE(opened.started) << opened.failure;
    const auto ready = korvane::shell::WaitUntilReady({WaitKind::Ended, 30, ""}, opened.processId);
    EXPECT_EQ(ready.state, ReadyState::Ready);
    EXPECT_EQ(ready.how, "it ended with exit status 3");
    EXPECT_GE(ready.waited.count(), 250);

    // One that ended before anybody waited for it.
    const auto quick = korvane::shell::ShellOpen(Script(dir.path(), "exit 0"), "", dir.path());
    ASSERT_TRUE(quick.started);
    ASSERT_TRUE(korvane::test::WaitFor([&] { return ::kill(quick.processId, 0) != 0; }));
    EXPECT_EQ(korvane::shell::WaitUntilReady({WaitKind::Ended, 30, ""}, quick.processId).state,
              ReadyState::Ready);
}

TEST(Readiness, APathMadeLaterDeepInFoldersThatDoNotExistYetEndsTheWait) {
    TempDir dir;
    const fs::path target = dir / "mnt" / "data" / "ready";
    std::thread maker([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        fs::create_directories(target.parent_path());
        WriteFile(target, "");
    });
    const auto ready = korvane::shell::WaitUntilReady({WaitKind::Path, 30, target.string()}, 0);
    maker.join();
    EXPECT_EQ(ready.state, ReadyState::Ready);
    EXPECT_EQ(ready.how, "it appeared");
}

TEST(Readiness, APathUnderHomeIsFoundThere) {
    TempDir dir;
    const korvane::test::ScopedEnv env({}, {{"HOME", dir.path().c_str()}});
    WriteFile(dir / "ready", "");
    EXPECT_EQ(korvane::shell::WaitUntilReady({WaitKind::Path, 5, "~/ready"}, 0).state,
              ReadyState::Ready);
}

TEST(Readiness, APortThatStartsListeningLaterEndsTheWait) {
    const int port = FreePort();
    std::thread listener([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const int s = ::socket(AF_INET, SOCK_STREAM, 0);
        const int yes = 1;
        ::setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        sockaddr_in in{};
        in.sin_family = AF_INET;
        in.sin_port = htons(static_cast<std::uint16_t>(port));
        in.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(s, reinterpret_cast<sockaddr*>(&in), sizeof in);
        ::listen(s, 4);
        std::this_thread::sleep_for(std::chrono::seconds(2));
        ::close(s);
    });
    const auto ready =
        korvane::shell::WaitUntilReady({WaitKind::Port, 30, std::to_string(port)}, 0);
    listener.join();
    EXPECT_EQ(ready.state, ReadyState::Ready);
    EXPECT_EQ(ready.how, "it took a connection");
}

TEST(Readiness, EveryWaitWhoseConditionNeverComesGivesUpAtItsLimit) {
    TempDir dir;
    const auto running = korvane::shell::ShellOpen(Script(dir.path(), "sleep 5"), "", dir.path());
    ASSERT_TRUE(running.started);
    struct Row {
        const char* name;
        ItemWait wait;
        std::string how;
    };
    const std::vector<Row> rows{
        {"ended", {WaitKind::Ended, 1, ""}, "it was still running"},
        {"path", {WaitKind::Path, 1, (dir / "never").string()}, "it did not appear"},
        {"port", {WaitKind::Port, 1, std::to_string(FreePort())}, "nothing took connections on it"},
    };
    for (const Row& row : rows) {
        const auto ready = korvane::shell::WaitUntilReady(row.wait, running.processId);
        EXPECT_EQ(ready.state, ReadyState::TimedOut) << row.name;
        EXPECT_EQ(ready.how, row.how) << row.name;
        EXPECT_GE(ready.waited.count(), 1000) << row.name;
    }
    ::kill(running.processId, SIGTERM);
}

TEST(Readiness, AWindowWaitWhereWindowsCannotBeSeenWaitsOutItsLimit) {
    const korvane::test::ScopedEnv env({"DISPLAY"}, {{"WAYLAND_DISPLAY", "wayland-77"}});
    EXPECT_EQ(korvane::shell::WindowWaitLimitation(),
              "this Wayland session does not show one program the windows of another");
    const auto ready = korvane::shell::WaitUntilReady({WaitKind::Window, 1, ""}, ::getpid());
    EXPECT_EQ(ready.state, ReadyState::CannotTell);
    EXPECT_GE(ready.waited.count(), 1000);
}

// Cancelling lasts for the rest of the process: a child of its own does it.
TEST(ReadinessDeathTest, CancellingEndsAWaitAtOnceAndEveryLaterOne) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            korvane::shell::PrepareCancel();
            std::thread canceller([] {
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
                korvane::shell::CancelWaits();
            });
            const auto ready =
                korvane::shell::WaitUntilReady({WaitKind::Path, 60, "/nonexistent/x"}, 0);
            canceller.join();
            const bool slept = korvane::shell::SleepUnlessCancelled(std::chrono::seconds(60));
            std::exit(ready.state == ReadyState::Cancelled && ready.waited.count() < 30000 && !slept
                          ? 0
                          : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

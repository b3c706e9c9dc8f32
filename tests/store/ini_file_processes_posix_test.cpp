// Profile files shared by separate processes.
#include "store/ini_file.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using korvane::TIniFile;
using korvane::test::TempDir;

namespace {

TEST(TIniFileTest, TwoProcessesWritingAtOnceKeepAllTheirKeys) {
    TempDir dir;
    const fs::path file = dir / "shared.ini";
    std::vector<pid_t> children;
    for (int p = 0; p < 2; ++p) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            int rc = 0;
            try {
                TIniFile ini(file);
                for (int i = 0; i < 200; ++i) {
                    ini.WriteNumber("P" + std::to_string(p), "k" + std::to_string(i), i);
                }
            } catch (...) {
                rc = 1;
            }
            ::_exit(rc);
        }
        children.push_back(pid);
    }
    for (const pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    TIniFile ini(file);
    for (int p = 0; p < 2; ++p) {
        EXPECT_EQ(ini.ListKeys("P" + std::to_string(p)).size(), 200u);
        for (int i = 0; i < 200; ++i) {
            EXPECT_EQ(ini.ReadNumber("P" + std::to_string(p), "k" + std::to_string(i), -1), i);
        }
    }
}

} // namespace

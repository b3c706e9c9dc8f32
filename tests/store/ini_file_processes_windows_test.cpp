// Profile files shared by separate processes: this test program starts
// copies of itself that run only the writer below.
#include "store/file_io.h"
#include "store/ini_file.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <random>

namespace fs = std::filesystem;
using korvane::TIniFile;
using korvane::test::ReadFile;
using korvane::test::TempDir;
using korvane::test::WaitFor;
using korvane::test::WriteFile;

namespace {

std::wstring Env(const wchar_t* name) {
    wchar_t buf[4096];
    const DWORD n = GetEnvironmentVariableW(name, buf, 4096);
    return n > 0 && n < 4096 ? std::wstring(buf, n) : std::wstring();
}

// Starts this program running only ChildWriter, which writes keys of part
// section into file (or, with part "big", rewrites one large value).
HANDLE StartWriter(const fs::path& file, const std::wstring& part) {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    SetEnvironmentVariableW(L"KORVANE_WRITER_FILE", file.c_str());
    SetEnvironmentVariableW(L"KORVANE_WRITER_PART", part.c_str());
    std::wstring command =
        L"\"" + std::wstring(self) + L"\" --gtest_filter=TIniFileProcessesTest.ChildWriter";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    const BOOL ok = CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE,
                                   CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi);
    SetEnvironmentVariableW(L"KORVANE_WRITER_FILE", nullptr);
    SetEnvironmentVariableW(L"KORVANE_WRITER_PART", nullptr);
    if (!ok) {
        return nullptr;
    }
    CloseHandle(pi.hThread);
    return pi.hProcess;
}

DWORD Finish(HANDLE process) {
    DWORD code = 0xFFFFFFFF;
    WaitForSingleObject(process, 120000);
    GetExitCodeProcess(process, &code);
    CloseHandle(process);
    return code;
}

std::string Version(int i) {
    return "[A]\r\nv=" + std::string(200000, static_cast<char>('a' + i % 26)) + "\r\n";
}

TEST(TIniFileProcessesTest, ChildWriter) {
    const std::wstring file = Env(L"KORVANE_WRITER_FILE");
    const std::wstring part = Env(L"KORVANE_WRITER_PART");
    if (file.empty()) {
        GTEST_SKIP() << "runs only in a writer process";
    }
    TIniFile ini{fs::path(file)};
    if (part == L"big") {
        for (int i = 1; i <= 200; ++i) {
            ini.WriteText("A", "v", std::string(200000, static_cast<char>('a' + i % 26)));
        }
        return;
    }
    const std::string section = "P" + std::string(part.begin(), part.end());
    for (int i = 0; i < 200; ++i) {
        ini.WriteNumber(section, "k" + std::to_string(i), i);
    }
}

TEST(TIniFileProcessesTest, TwoProcessesWritingAtOnceKeepAllTheirKeys) {
    TempDir dir;
    const fs::path file = dir / "shared.ini";
    HANDLE first = StartWriter(file, L"0");
    HANDLE second = StartWriter(file, L"1");
    ASSERT_TRUE(first && second);
    EXPECT_EQ(Finish(first), 0u);
    EXPECT_EQ(Finish(second), 0u);
    TIniFile ini(file);
    for (int p = 0; p < 2; ++p) {
        EXPECT_EQ(ini.ListKeys("P" + std::to_string(p)).size(), 200u);
        for (int i = 0; i < 200; ++i) {
            EXPECT_EQ(ini.ReadNumber("P" + std::to_string(p), "k" + std::to_string(i), -1), i);
        }
    }
}

TEST(TIniFileProcessesTest, AKilledWriterLeavesTheWholeOldOrNewFile) {
    TempDir dir;
    const fs::path file = dir / "batches.lst";
    WriteFile(file, Version(0));
    std::mt19937 random(3);
    int changed = 0;
    for (int kill = 0; kill < 10; ++kill) {
        const auto before = korvane::IdentifyFile(file);
        HANDLE writer = StartWriter(file, L"big");
        ASSERT_TRUE(writer);
        // Killed at a random moment once it is writing, however slowly it starts.
        WaitFor([&] { return korvane::IdentifyFile(file) != before; }, std::chrono::seconds(30));
        Sleep(static_cast<DWORD>(random() % 100));
        TerminateProcess(writer, 9);
        Finish(writer);
        const std::string now = ReadFile(file);
        bool whole = false;
        for (int i = 0; i < 26 && !whole; ++i) {
            whole = now == Version(i);
        }
        ASSERT_TRUE(whole) << "torn file after kill " << kill << ", size " << now.size();
        changed += now != Version(0);
    }
    EXPECT_GT(changed, 0) << "no writer got as far as a write before it was killed";
    TIniFile(file).WriteText("A", "after", "1");
    for (const auto& e : fs::directory_iterator(dir.path())) {
        EXPECT_EQ(e.path().filename().string().find(".tmp-"), std::string::npos)
            << "left behind: " << e.path().filename().string();
    }
}

} // namespace

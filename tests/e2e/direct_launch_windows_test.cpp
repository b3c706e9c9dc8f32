// Runs the real korvane.exe from a temporary program folder, as a desktop
// shortcut would, with real .lnk items pointing at a small console program
// that records its name, working folder and start time.
#include "app/launch_report.h"
#include "shell/shell.h"
#include "store/ini_file.h"
#include "store/utf8.h"
#include "store/wide_text_windows.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <winsock2.h>
// After the above: it would bring the older sockets otherwise.
#include <windows.h>

#include <objbase.h>
#include <shobjidl.h>

#include <map>
#include <sstream>

namespace fs = std::filesystem;
using korvane::TIniFile;
using korvane::test::ReadFile;
using korvane::test::TempDir;
using korvane::test::WaitFor;
using korvane::utf8::ToPath;
using korvane::win32::Widen;

namespace {

struct RunResult {
    DWORD exitCode = 0xFFFFFFFF;
    std::string stderrText;
    std::string boxText; // the "Application Error" box's message, when one came up
};

// The message of an "Application Error" box the process shows, which is then
// answered with OK; "" while there is none.
std::string AnswerErrorBox(DWORD process) {
    struct Search {
        DWORD process;
        HWND box = nullptr;
    } search{process};
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            wchar_t title[64] = {};
            GetWindowTextW(window, title, 64);
            if (owner == s->process && IsWindowVisible(window) &&
                std::wstring(title) == L"Application Error") {
                s->box = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    if (!search.box) {
        return {};
    }
    std::wstring message(4096, L'\0');
    // 0xFFFF: the message box's text control.
    message.resize(GetDlgItemTextW(search.box, 0xFFFF, message.data(), 4096));
    PostMessageW(search.box, WM_COMMAND, IDOK, 0);
    return korvane::win32::Narrow(message);
}

struct Mark {
    std::string program;
    std::string folder;
    unsigned long long ms = 0;
};

class DirectLaunchWindowsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::copy_file(KORVANE_EXE, dir_ / "korvane.exe");
        for (const char* name : {"first.exe", "second.exe", "third.exe"}) {
            fs::create_directories(dir_ / "bin");
            fs::copy_file(MARKER_EXE, dir_ / "bin" / name);
        }
        marker_ = dir_ / "marker.txt";
        SetEnvironmentVariableW(L"KORVANE_MARKER", marker_.c_str()); // the children inherit it
    }

    // Application item n of batch folder 7: a real link to bin\<program>.
    std::string App(int n, const char* program) {
        const fs::path folder = dir_ / "Shortcuts" / "7" / std::to_string(n);
        fs::create_directories(folder);
        korvane::shell::CreateItemLink(dir_ / "bin" / program, folder);
        return "File;" + std::to_string(n) + "\\;Active";
    }

    // Application item n whose link names no working folder of its own.
    std::string AppWithoutFolder(int n, const char* program) {
        const fs::path folder = dir_ / "Shortcuts" / "7" / std::to_string(n);
        fs::create_directories(folder);
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        IShellLinkW* link = nullptr;
        IPersistFile* file = nullptr;
        if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                       IID_IShellLinkW, reinterpret_cast<void**>(&link)))) {
            link->SetPath((dir_ / "bin" / program).make_preferred().c_str());
            if (SUCCEEDED(
                    link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
                file->Save((folder / (std::string(program) + ".lnk")).make_preferred().c_str(),
                           TRUE);
                file->Release();
            }
            link->Release();
        }
        CoUninitialize();
        return "File;" + std::to_string(n) + "\\;Active";
    }

    // The same entry switched off.
    static std::string Switched(std::string entry) {
        return entry.replace(entry.rfind(";Active"), 7, ";Disabled");
    }

    void WriteBatch(const std::string& name, const std::vector<std::string>& items) {
        TIniFile catalogue(dir_ / "batches.lst");
        catalogue.WriteText(name, "ID", "7");
        for (std::size_t i = 0; i < items.size(); ++i) {
            catalogue.WriteText(name, "Item" + std::to_string(i), items[i]);
        }
    }

    RunResult Run(const std::string& argument) {
        const fs::path errFile = dir_ / "stderr.txt";
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        HANDLE err = CreateFileW(errFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                 CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        STARTUPINFOW si{};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdError = err;
        si.hStdOutput = err;
        si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        std::wstring command =
            L"\"" + (dir_ / "korvane.exe").wstring() + L"\" \"" + Widen(argument) + L"\"";
        PROCESS_INFORMATION pi{};
        RunResult result;
        // Started from another folder: the program finds its files beside itself.
        if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                           fs::temp_directory_path().c_str(), &si, &pi)) {
            for (int waited = 0; waited < 60000; waited += 100) {
                if (WaitForSingleObject(pi.hProcess, 100) == WAIT_OBJECT_0) {
                    GetExitCodeProcess(pi.hProcess, &result.exitCode);
                    break;
                }
                if (result.boxText.empty()) {
                    result.boxText = AnswerErrorBox(pi.dwProcessId);
                }
            }
            CloseHandle(pi.hThread);
            CloseHandle(pi.hProcess);
        }
        CloseHandle(err);
        result.stderrText = ReadFile(errFile);
        return result;
    }

    std::vector<Mark> Marks() {
        std::vector<Mark> marks;
        std::istringstream in(ReadFile(marker_));
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            const auto a = line.find('|');
            const auto b = line.rfind('|');
            if (a == std::string::npos || a == b) {
                continue;
            }
            marks.push_back({line.substr(0, a), line.substr(a + 1, b - a - 1),
                             std::stoull(line.substr(b + 1))});
        }
        return marks;
    }

    std::string Folder(const fs::path& path) {
        return korvane::utf8::FromPath(fs::path(path).make_preferred());
    }

    TempDir dir_;
    fs::path marker_;
};

// Items that wait: copies of the readiness helper named for what they do,
// each noting "what pid milliseconds" in the marker file.
class WaitLaunchWindowsTest : public DirectLaunchWindowsTest {
  protected:
    std::string Helper(int n, const std::string& name, const std::string& wait = "") {
        const fs::path program = dir_ / "bin" / (name + ".exe");
        fs::copy_file(READINESS_EXE, program, fs::copy_options::overwrite_existing);
        const fs::path folder = dir_ / "Shortcuts" / "7" / std::to_string(n);
        fs::create_directories(folder);
        korvane::shell::CreateItemLink(program, folder);
        if (!wait.empty()) {
            waits_.emplace_back("Wait" + std::to_string(n), wait);
        }
        return "File;" + std::to_string(n) + "\\;Active";
    }

    void WriteWaitingBatch(const std::vector<std::string>& items) {
        WriteBatch("B", items);
        TIniFile catalogue(dir_ / "batches.lst");
        for (const auto& [key, value] : waits_) {
            catalogue.WriteText("B", key, value);
        }
    }

    struct Note {
        unsigned long long pid = 0, ms = 0;
    };
    std::map<std::string, Note> Notes() {
        std::map<std::string, Note> notes;
        std::istringstream in(ReadFile(marker_));
        std::string tag;
        Note n;
        while (in >> tag >> n.pid >> n.ms) {
            notes[tag] = n;
        }
        return notes;
    }

    std::vector<std::string> WaitDetails() {
        std::vector<std::string> details;
        const auto report = korvane::LastLaunchOf(dir_ / "Reports", "B");
        for (const auto& item : report ? report->items : std::vector<korvane::ItemRecord>{}) {
            if (item.outcome == korvane::ItemOutcome::Waited) {
                details.push_back(item.detail);
            }
        }
        return details;
    }

    void TearDown() override {
        for (const auto& [tag, note] : Notes()) {
            if (HANDLE p = OpenProcess(PROCESS_TERMINATE, FALSE, static_cast<DWORD>(note.pid))) {
                TerminateProcess(p, 0);
                CloseHandle(p);
            }
        }
    }

    static int FreePort() {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in in{};
        in.sin_family = AF_INET;
        in.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(s, reinterpret_cast<sockaddr*>(&in), sizeof in);
        int size = sizeof in;
        getsockname(s, reinterpret_cast<sockaddr*>(&in), &size);
        closesocket(s);
        return ntohs(in.sin_port);
    }

    std::vector<std::pair<std::string, std::string>> waits_;
};

// Each next item starts once the one before is ready, and soon after.
TEST_F(WaitLaunchWindowsTest, EachItemWaitsForWhatItsSettingNames) {
    const fs::path ready = dir_ / "ready.txt";
    const int port = FreePort();
    SetEnvironmentVariableW(L"KORVANE_READY_PATH", ready.c_str());
    SetEnvironmentVariableW(L"KORVANE_PORT", std::to_wstring(port).c_str());
    std::vector<std::string> items;
    if (KORVANE_HAS_WINDOWS) { // under Wine with a display
        items = {Helper(1, "window-2000", "Window;30"), Helper(2, "stamp-afterWindow")};
    }
    for (const std::string& item :
         {Helper(3, "exit-1000-7", "Ended;30"), Helper(4, "stamp-afterEnd"),
          Helper(5, "touch-1000", "Path;30;" + korvane::utf8::FromPath(ready)),
          Helper(6, "stamp-afterPath"), Helper(7, "listen-1000", "Port;30;" + std::to_string(port)),
          Helper(8, "stamp-afterPort")}) {
        items.push_back(item);
    }
    WriteWaitingBatch(items);
    const RunResult run = Run("B");
    EXPECT_EQ(run.exitCode, 0u) << run.stderrText;
    ASSERT_TRUE(WaitFor([&] { return Notes().count("afterPort") == 1; }, std::chrono::seconds(20)));
    auto notes = Notes();
    const auto soonAfter = [&](const char* ready, const char* next) {
        EXPECT_GE(notes[next].ms, notes[ready].ms) << next;
        EXPECT_LT(notes[next].ms - notes[ready].ms, 1500u) << next;
    };
    if (KORVANE_HAS_WINDOWS) {
        soonAfter("mapped", "afterWindow");
    }
    soonAfter("ending", "afterEnd");
    soonAfter("made", "afterPath");
    soonAfter("listening", "afterPort");
    const auto details = WaitDetails();
    ASSERT_EQ(details.size(), KORVANE_HAS_WINDOWS ? 4u : 3u);
    EXPECT_NE(details[details.size() - 3].find("it ended with exit status 7"), std::string::npos)
        << details[details.size() - 3];
}

TEST_F(WaitLaunchWindowsTest, EveryWaitThatNeverComesAboutGivesUpAtItsLimit) {
    WriteWaitingBatch({Helper(1, "idle", "Window;1"), Helper(2, "stamp-p", "Ended;1"),
                       Helper(3, "stamp-q", "Path;1;" + korvane::utf8::FromPath(dir_ / "never")),
                       Helper(4, "stamp-r", "Port;1;" + std::to_string(FreePort())),
                       Helper(5, "stamp-last")});
    const RunResult run = Run("B");
    EXPECT_EQ(run.exitCode, 0u) << run.stderrText;
    ASSERT_TRUE(WaitFor([&] { return Notes().count("last") == 1; }, std::chrono::seconds(20)));
    const auto details = WaitDetails();
    ASSERT_EQ(details.size(), 4u);
    EXPECT_NE(details[0].find("gave up after 1 s"), std::string::npos) << details[0];
    EXPECT_NE(details[1].find("it ended"), std::string::npos) << details[1]; // a stamp ends at once
    EXPECT_NE(details[2].find("gave up after 1 s"), std::string::npos) << details[2];
    EXPECT_NE(details[3].find("gave up after 1 s"), std::string::npos) << details[3];
}

TEST_F(DirectLaunchWindowsTest, RunsTheActiveItemsInOrderWithThePauseBetween) {
    const std::string name = "Montag früh, Grüße";
    WriteBatch(name, {App(0, "first.exe"), "Interval;0:00:01;Active", App(1, "second.exe"),
                      Switched(App(2, "third.exe"))});
    const unsigned long long started = GetTickCount64();
    const RunResult run = Run(name);
    EXPECT_EQ(run.exitCode, 0u) << run.stderrText;
    ASSERT_TRUE(WaitFor([&] { return Marks().size() >= 2; }, std::chrono::seconds(20)));
    std::this_thread::sleep_for(std::chrono::milliseconds(500)); // a third would show by now
    const std::vector<Mark> marks = Marks();
    ASSERT_EQ(marks.size(), 2u) << ReadFile(marker_);
    EXPECT_EQ(marks[0].program, "first.exe");
    EXPECT_EQ(marks[1].program, "second.exe");
    // Each runs in the folder its link names: the target's own.
    EXPECT_EQ(marks[0].folder, Folder(dir_ / "bin"));
    // The second is launched only after the pause. (How long each program
    // takes to come up varies, so the gap between the two marks does not tell.)
    EXPECT_GE(marks[1].ms - started, 1000u);
}

// A target that was deleted and a document no program opens: the shell
// shows no box of its own (a batch at logon would wait for a click) and the
// run goes on to its last item.
TEST_F(DirectLaunchWindowsTest, FailuresOfTheShellShowNothingAndTheRunGoesOn) {
    fs::copy_file(MARKER_EXE, dir_ / "bin" / "gone.exe");
    const std::string gone = App(0, "gone.exe");
    fs::remove(dir_ / "bin" / "gone.exe");
    fs::create_directories(dir_ / "docs");
    korvane::test::WriteFile(dir_ / "docs" / "notes.korvane-test-nothing-opens-this", "text\r\n");
    fs::create_directories(dir_ / "Shortcuts" / "7" / "1");
    korvane::shell::CreateItemLink(dir_ / "docs" / "notes.korvane-test-nothing-opens-this",
                                   dir_ / "Shortcuts" / "7" / "1");
    WriteBatch("Odd", {gone, "File;1\\;Active", App(2, "second.exe")});
    const RunResult run = Run("Odd");
    // Nothing is shown, but the exit code and the report tell.
    EXPECT_EQ(run.exitCode, 3u) << run.stderrText;
    EXPECT_EQ(run.boxText, "") << "a message box appeared";
    ASSERT_TRUE(WaitFor([&] { return Marks().size() >= 1; }, std::chrono::seconds(20)));
    EXPECT_EQ(Marks()[0].program, "second.exe");
    const auto reports = korvane::ListReports(dir_ / "Reports");
    ASSERT_EQ(reports.size(), 1u);
    const auto report = korvane::ParseReport(ReadFile(reports[0]));
    ASSERT_TRUE(report);
    ASSERT_EQ(report->items.size(), 3u);
    EXPECT_EQ(report->items[0].outcome, korvane::ItemOutcome::FailedToStart);
    EXPECT_NE(report->items[0].detail, "") << "the system's reason";
    // Which process a link started the shell does not always say (Wine's never does).
    EXPECT_EQ(report->items[2].outcome, korvane::ItemOutcome::Started);
    EXPECT_EQ(report->end, "finished");
}

TEST_F(DirectLaunchWindowsTest, ALinkWithoutAFolderRunsInTheItemFolder) {
    WriteBatch("Work", {AppWithoutFolder(3, "first.exe")});
    const RunResult run = Run("Work");
    EXPECT_EQ(run.exitCode, 0u) << run.stderrText;
    ASSERT_TRUE(WaitFor([&] { return Marks().size() >= 1; }, std::chrono::seconds(20)));
    EXPECT_EQ(Marks()[0].folder, Folder(dir_ / "Shortcuts" / "7" / "3"));
}

TEST_F(DirectLaunchWindowsTest, ABadPauseEndsTheRunWithTheMessage) {
    WriteBatch("Broken", {App(0, "first.exe"), "Interval;soon;Active", App(1, "second.exe")});
    const RunResult run = Run("Broken");
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_NE(run.stderrText.find("'soon' is not a valid time."), std::string::npos)
        << run.stderrText;
    EXPECT_NE(run.stderrText.find("in module korvane.exe"), std::string::npos) << run.stderrText;
    // With the windows built in, the system's box says the same; without, no box.
    if (KORVANE_HAS_WINDOWS) {
        EXPECT_NE(run.boxText.find("'soon' is not a valid time."), std::string::npos)
            << run.boxText;
    } else {
        EXPECT_EQ(run.boxText, "");
    }
    ASSERT_TRUE(WaitFor([&] { return Marks().size() >= 1; }, std::chrono::seconds(20)));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    ASSERT_EQ(Marks().size(), 1u);
    EXPECT_EQ(Marks()[0].program, "first.exe");
}

TEST_F(DirectLaunchWindowsTest, AnUnknownBatchStartsNothingAndSaysSo) {
    WriteBatch("Known", {App(0, "first.exe")});
    const RunResult run = Run("Unknown");
    EXPECT_EQ(run.exitCode, 2u);
    EXPECT_NE(run.stderrText.find("no batch named \"Unknown\""), std::string::npos)
        << run.stderrText;
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_TRUE(Marks().empty());
}

TEST_F(DirectLaunchWindowsTest, TheCatalogueIsInTheAnsiCodePage) {
    if (GetACP() != 1252) {
        GTEST_SKIP() << "the ANSI code page here is " << GetACP();
    }
    // As another copy of the program on Windows writes it.
    korvane::test::WriteFile(dir_ / "batches.lst",
                             "[Caf\xE9]\r\nID=7\r\nItem0=" + App(0, "first.exe") + "\r\n");
    const RunResult run = Run("Café");
    EXPECT_EQ(run.exitCode, 0u) << run.stderrText;
    ASSERT_TRUE(WaitFor([&] { return Marks().size() >= 1; }, std::chrono::seconds(20)));
    EXPECT_EQ(Marks()[0].program, "first.exe");
}

} // namespace

// What Windows reads from korvane.exe before it starts: the manifest.
TEST(ProgramManifestTest, AsksForVisualStylesDpiAwarenessAndNoElevation) {
    const std::wstring exe = fs::path(KORVANE_EXE).make_preferred().wstring();
    HMODULE module = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(module);
    std::string manifest;
    if (HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24))) {
        if (HGLOBAL data = LoadResource(module, found)) {
            manifest.assign(static_cast<const char*>(LockResource(data)),
                            SizeofResource(module, found));
        }
    }
    FreeLibrary(module);
    ASSERT_FALSE(manifest.empty()) << "no manifest resource";
    for (const char* part :
         {"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"", "PerMonitorV2",
          "level=\"asInvoker\"", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}) {
        EXPECT_NE(manifest.find(part), std::string::npos) << part;
    }
}

// The Windows shell backend: real .lnk files through the shell's link
// object, the Run value, the version resource.
#include "shell/address.h"
#include "shell/session_autostart.h"
#include "shell/desktop_link.h"
#include "shell/shell.h"
#include "store/utf8.h"
#include "store/wide_text_windows.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <knownfolders.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>
#include <cstdlib>
#include <optional>

namespace fs = std::filesystem;
namespace shell = korvane::shell;
using korvane::test::TempDir;
using korvane::test::WriteFile;
using korvane::utf8::FromPath;
using korvane::utf8::ToPath;
using korvane::win32::Narrow;
using korvane::win32::Widen;

namespace {

constexpr const wchar_t* kShellFolders =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
// The shell writes "Shell Folders" again from here when it starts.
constexpr const wchar_t* kUserShellFolders =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
constexpr const wchar_t* kRun = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

std::optional<std::wstring> ReadValue(const wchar_t* key, const wchar_t* name) {
    wchar_t buf[4096];
    DWORD size = sizeof buf;
    if (RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_REG_SZ, nullptr, buf, &size) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    return std::wstring(buf);
}

void PutValue(const wchar_t* key, const wchar_t* name, const std::optional<std::wstring>& value) {
    if (value) {
        RegSetKeyValueW(HKEY_CURRENT_USER, key, name, REG_SZ, value->c_str(),
                        static_cast<DWORD>((value->size() + 1) * sizeof(wchar_t)));
    } else {
        RegDeleteKeyValueW(HKEY_CURRENT_USER, key, name);
    }
}

// Keeps a registry value as it was before the test.
class SavedValue {
  public:
    SavedValue(const wchar_t* key, const wchar_t* name)
        : key_(key), name_(name), old_(ReadValue(key, name)) {}
    ~SavedValue() { PutValue(key_, name_, old_); }

  private:
    const wchar_t* key_;
    const wchar_t* name_;
    std::optional<std::wstring> old_;
};

// What a .lnk holds, read with the shell's own link object.
struct LinkFields {
    std::string path, workingDirectory, arguments, description, iconFile;
    int iconIndex = 0;
};

std::optional<LinkFields> ReadFields(const fs::path& file) {
    IShellLinkW* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link)))) {
        return std::nullopt;
    }
    IPersistFile* persist = nullptr;
    std::optional<LinkFields> out;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist))) &&
        SUCCEEDED(persist->Load(file.c_str(), STGM_READ))) {
        wchar_t buf[4096];
        LinkFields f;
        link->GetPath(buf, 4096, nullptr, 0);
        f.path = Narrow(buf);
        link->GetWorkingDirectory(buf, 4096);
        f.workingDirectory = Narrow(buf);
        link->GetArguments(buf, 4096);
        f.arguments = Narrow(buf);
        link->GetDescription(buf, 4096);
        f.description = Narrow(buf);
        link->GetIconLocation(buf, 4096, &f.iconIndex);
        f.iconFile = Narrow(buf);
        out = f;
    }
    if (persist) {
        persist->Release();
    }
    link->Release();
    return out;
}

std::vector<std::string> SplitCommandLine(const std::string& args) {
    int count = 0;
    // The first word is taken for a program name and parsed by other rules.
    LPWSTR* argv = CommandLineToArgvW(Widen("x.exe " + args).c_str(), &count);
    std::vector<std::string> out;
    for (int i = 1; argv && i < count; ++i) {
        out.push_back(Narrow(argv[i]));
    }
    LocalFree(argv);
    return out;
}

class ShellWindowsTest : public ::testing::Test {
  protected:
    ShellWindowsTest() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    ~ShellWindowsTest() override { CoUninitialize(); }

    // A file to point links at: links to missing targets may be resolved away.
    fs::path Target(const std::string& name) {
        const fs::path file = dir_ / "bin" / ToPath(name);
        WriteFile(file, "MZ");
        return file;
    }

    TempDir dir_;
};

struct ItemLinkCase {
    const char* name;
    const char* file;
};

class ItemLinkTest : public ShellWindowsTest, public ::testing::WithParamInterface<ItemLinkCase> {};

TEST_P(ItemLinkTest, MadeByCreateItemLinkAndReadBack) {
    const fs::path target = Target(GetParam().file);
    const fs::path folder = dir_ / "Shortcuts" / "7" / "0";
    fs::create_directories(folder);
    shell::CreateItemLink(target, folder);
    const fs::path link = folder / ToPath(std::string(GetParam().file) + ".lnk");
    ASSERT_TRUE(fs::exists(link));
    const std::string wanted = FromPath(fs::path(target).make_preferred());
    EXPECT_EQ(shell::ReadLinkTarget(link), wanted);
    EXPECT_EQ(shell::ReadLinkIconLocation(link), "");
    // One reading tells a row the same.
    const shell::LinkSummary summary = shell::ReadLinkSummary(link);
    EXPECT_EQ(summary.target, wanted);
    EXPECT_EQ(summary.comment, shell::ReadLinkComment(link));
    EXPECT_EQ(summary.iconFile, "");
    EXPECT_EQ(summary.displayName, "");
    EXPECT_EQ(shell::ReadLinkSummary(dir_ / "missing.lnk").target, "");
    const auto fields = ReadFields(link);
    ASSERT_TRUE(fields);
    EXPECT_EQ(fields->workingDirectory, FromPath((dir_ / "bin").make_preferred()) + "\\");
}

INSTANTIATE_TEST_SUITE_P(Rows, ItemLinkTest,
                         ::testing::Values(ItemLinkCase{"plain", "tool.exe"},
                                           ItemLinkCase{"blanks", "My Tool 2.exe"},
                                           ItemLinkCase{"nonAscii", "Grüße ž.exe"},
                                           ItemLinkCase{"document", "notes.txt"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ShellWindowsTest, ReadingSomethingThatIsNoLinkGivesNothing) {
    WriteFile(dir_ / "plain.lnk", "not a shell link at all");
    EXPECT_EQ(shell::ReadLinkTarget(dir_ / "plain.lnk"), "");
    EXPECT_EQ(shell::ReadLinkIconLocation(dir_ / "plain.lnk"), "");
    EXPECT_EQ(shell::ReadLinkTarget(dir_ / "missing.lnk"), "");
}

class DesktopLinkTest : public ShellWindowsTest {
  protected:
    DesktopLinkTest()
        : saved_(kShellFolders, L"Desktop"), savedUser_(kUserShellFolders, L"Desktop") {
        fs::create_directories(dir_ / "Desktop");
        const std::wstring desktop = (dir_ / "Desktop").make_preferred().wstring();
        PutValue(kShellFolders, L"Desktop", desktop);
        PutValue(kUserShellFolders, L"Desktop", desktop);
    }
    SavedValue saved_;
    SavedValue savedUser_;
};

TEST_F(DesktopLinkTest, ShortcutLaunchesTheBatchWithItsIcon) {
    const fs::path exe = Target("korvane.exe");
    const std::string name = "Monday \"early\" Grüße";
    EXPECT_EQ(shell::DesktopFolder(), (dir_ / "Desktop").make_preferred());
    const fs::path link = dir_ / "Desktop" / ToPath("Monday Grüße.lnk");
    const std::vector<std::string> args{"--", name, "a\\b\\\"c", ""};
    shell::WriteDesktopLink(link, "Monday Grüße", exe, args, 3, "C:\\icons\\a b.ico");
    ASSERT_TRUE(fs::exists(link));
    EXPECT_EQ(shell::ReadLinkTarget(link), FromPath(fs::path(exe).make_preferred()));
    EXPECT_EQ(shell::ReadLinkIconLocation(link), "C:\\icons\\a b.ico");
    const auto fields = ReadFields(link);
    ASSERT_TRUE(fields);
    EXPECT_EQ(fields->iconIndex, 3);
    EXPECT_EQ(fields->description, "Monday Grüße");
    EXPECT_EQ(SplitCommandLine(fields->arguments), args);
    const auto command = shell::ReadDesktopLink(link);
    ASSERT_TRUE(command);
    EXPECT_EQ(command->arguments, args);
}

TEST_F(DesktopLinkTest, TheLaterShortcutReplacesTheEarlier) {
    const fs::path link = dir_ / "Desktop" / "Work.lnk";
    shell::WriteDesktopLink(link, "Work", Target("old.exe"), {"--", "Work"}, 0, "");
    shell::WriteDesktopLink(link, "Work", Target("new.exe"), {"--", "Work"}, 0, "");
    int count = 0;
    for (const auto& entry : fs::directory_iterator(dir_ / "Desktop")) {
        (void)entry;
        ++count;
    }
    EXPECT_EQ(count, 1);
    EXPECT_EQ(shell::ReadLinkTarget(link), FromPath((dir_ / "bin" / "new.exe").make_preferred()));
    EXPECT_EQ(shell::ReadLinkIconLocation(link), "");
    // The batch's name is quoted even where it needs no quotes.
    EXPECT_EQ(ReadFields(link)->arguments, "\"--\" \"Work\"");
}

TEST_F(DesktopLinkTest, NamesThatAreNoFileNamesGetFilesThatAre) {
    for (const char* name : {"a\\b", "a/b", "a:b", "a*b", "a?b", "a\"b", "a<b", "a>b", "a|b"}) {
        EXPECT_EQ(shell::DesktopLinkName(name), "a-b") << name;
    }
    EXPECT_EQ(shell::DesktopLinkName(""), "-");
    EXPECT_EQ(shell::DesktopLinkName(".."), "-..");
}

TEST_F(ShellWindowsTest, RunValueIsWrittenFoundAgainAndRemoved) {
    SavedValue saved(kRun, L"Korvane");
    const fs::path exe = dir_ / "Programs" / ToPath("Kor vane ü") / "korvane.exe";
    const std::string command = shell::AutostartCommandFor(exe);
    EXPECT_EQ(command, "\"" + FromPath(fs::path(exe).make_preferred()) + "\" -startup");
    ASSERT_TRUE(shell::WriteAutostartCommand(command));
    EXPECT_EQ(ReadValue(kRun, L"Korvane"), Widen(command));
    EXPECT_EQ(shell::ReadAutostartCommand(), command);
    shell::RemoveAutostart();
    EXPECT_FALSE(ReadValue(kRun, L"Korvane"));
    EXPECT_EQ(shell::ReadAutostartCommand(), "");
    shell::RemoveAutostart(); // a missing value is no error
}

TEST_F(ShellWindowsTest, ARunValueOfAnotherTypeIsAnError) {
    SavedValue saved(kRun, L"Korvane");
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kRun, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    const DWORD number = 1;
    RegSetValueExW(key, L"Korvane", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                   sizeof number);
    RegCloseKey(key);
    try {
        (void)shell::ReadAutostartCommand();
        ADD_FAILURE() << "no error";
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "Invalid data type for 'Korvane'");
    }
}

// The user's Run values and Startup folder are what Windows starts at logon;
// taking them switches them off with the StartupApproved flags Task Manager
// writes, and giving back leaves the registry as it was.
TEST_F(ShellWindowsTest, SessionStartsAreTakenAndGivenBack) {
    constexpr const wchar_t* kApprovedRun =
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";
    SavedValue run(kRun, L"Korvane test tool");
    SavedValue own(kRun, L"Korvane");
    PutValue(kRun, L"Korvane test tool", L"\"C:\\windows\\notepad.exe\" /x \"a b\"");
    PutValue(kRun, L"Korvane", L"\"C:\\korvane.exe\" -startup"); // the menu's own: never listed
    wchar_t* startupPath = nullptr;
    ASSERT_TRUE(
        SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Startup, KF_FLAG_CREATE, nullptr, &startupPath)));
    const fs::path startup = startupPath;
    CoTaskMemFree(startupPath);
    fs::create_directories(startup);
    shell::CreateItemLink("C:\\windows\\notepad.exe", startup);
    const fs::path link = startup / "notepad.exe.lnk";
    ASSERT_TRUE(fs::exists(link));

    const auto names = [] {
        std::vector<std::string> n;
        for (const auto& s : shell::ListSessionStarts()) {
            n.push_back(s.name);
        }
        return n;
    };
    const auto has = [&](const std::string& name) {
        const auto n = names();
        return std::find(n.begin(), n.end(), name) != n.end();
    };
    ASSERT_TRUE(has("Korvane test tool"));
    ASSERT_TRUE(has("notepad.exe"));
    EXPECT_FALSE(has("Korvane"));
    for (const auto& s : shell::ListSessionStarts()) {
        if (s.name == "Korvane test tool") {
            EXPECT_EQ(s.command, "\"C:\\windows\\notepad.exe\" /x \"a b\"");
            EXPECT_TRUE(s.file.empty());
            // The item runs the same command through a link.
            ASSERT_TRUE(shell::CreateCommandLink(s.name, s.command, dir_.path()));
            EXPECT_EQ(shell::ReadLinkTarget(dir_ / "Korvane test tool.lnk"),
                      "C:\\windows\\notepad.exe");
            shell::TakeFromSession(s, dir_ / "keep");
        } else if (s.name == "notepad.exe") {
            EXPECT_EQ(s.file, link);
            shell::TakeFromSession(s, dir_ / "keep");
        }
    }
    EXPECT_FALSE(has("Korvane test tool"));
    EXPECT_FALSE(has("notepad.exe"));
    BYTE flag[64];
    DWORD size = sizeof flag;
    ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, kApprovedRun, L"Korvane test tool", RRF_RT_REG_BINARY,
                           nullptr, flag, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(size, 12u);
    EXPECT_EQ(flag[0], 3); // switched off, as Task Manager writes it
    EXPECT_EQ(shell::ListTaken(dir_ / "keep").size(), 2u);

    for (const auto& t : shell::ListTaken(dir_ / "keep")) {
        shell::GiveBackToSession(t.id, dir_ / "keep");
    }
    EXPECT_TRUE(has("Korvane test tool"));
    EXPECT_TRUE(has("notepad.exe"));
    size = sizeof flag;
    EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, kApprovedRun, L"Korvane test tool", RRF_RT_REG_BINARY,
                           nullptr, flag, &size),
              ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(shell::ListTaken(dir_ / "keep").empty());
    fs::remove(link);
}

// A notice shows in the notification area where there is one and goes at its
// time limit when nobody clicks it.
TEST(ShellNotificationTest, ANoticeNobodyClicksGoesAtItsLimit) {
    const bool shown =
        shell::ShowNotification("Korvane test: 1 of 2 started", "Mail not found", "", 1);
    // Wine without a display has no notification area: then none is shown.
    if (std::getenv("DISPLAY")) {
        EXPECT_TRUE(shown);
    }
}

TEST(ShellAddressTest, SchemesAreTold) {
    const struct {
        const char* text;
        bool address;
    } rows[] = {{"https://korvane.example.org/", true},
                {"mailto:a@b", true},
                {"file:///C:/x", true},
                {"C:\\Windows\\notepad.exe", false},
                {"C:/x", false},
                {"\\\\server\\share", false},
                {"notepad.exe", false},
                {"", false},
                {"a+b-c.d:rest", true},
                {"1abc:x", false}};
    for (const auto& row : rows) {
        EXPECT_EQ(shell::HasUrlScheme(row.text), row.address) << row.text;
    }
}

TEST(ShellWindowsVersionTest, ComesFromTheVersionResource) {
    EXPECT_EQ(shell::VersionText(7), "1.0.0");
    EXPECT_EQ(shell::VersionText(15), "1.0.0.0");
    EXPECT_EQ(shell::VersionText(2), "0");
    EXPECT_EQ(shell::VersionText(1), "1");
}

TEST(ShellWindowsPathsTest, ExecutableAndDesktopAreFullPaths) {
    const fs::path exe = shell::ExecutablePath();
    EXPECT_TRUE(exe.is_absolute());
    EXPECT_TRUE(fs::exists(exe));
    EXPECT_EQ(exe.extension(), ".exe");
    EXPECT_FALSE(shell::DesktopFolder().empty());
}

} // namespace

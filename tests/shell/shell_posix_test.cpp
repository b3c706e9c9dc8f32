#include "shell/desktop_entry.h"
#include "shell/desktop_link.h"
#include "shell/icon_source.h"
#include "shell/link_file.h"
#include "shell/shell.h"
#include "shell/shell_words.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <glib.h>

#include <cstdio>
#include <cstdlib>

#include <unistd.h>

namespace fs = std::filesystem;
using namespace korvane::shell;
using korvane::test::ReadFile;
using korvane::test::TempDir;
using korvane::test::WaitFor;
using korvane::test::WriteFile;

namespace {

// Points HOME and XDG_CONFIG_HOME into a temporary folder for one test.
class HomeFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        ::setenv("HOME", home_.path().c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (home_ / "config").c_str(), 1);
    }
    TempDir home_;
};

// A script that appends its name, arguments and working directory to a marker.
fs::path MakeScript(const fs::path& file, const fs::path& marker) {
    WriteFile(file,
              "#!/bin/sh\necho \"$(basename \"$0\") [$*] $(pwd)\" >> '" + marker.string() + "'\n");
    fs::permissions(file, fs::perms::owner_all);
    return file;
}

std::string WaitForLine(const fs::path& marker) {
    WaitFor([&] { return ReadFile(marker).find('\n') != std::string::npos; });
    return ReadFile(marker);
}

std::vector<std::string> ParseExec(const fs::path& desktopFile) {
    GKeyFile* kf = g_key_file_new();
    std::vector<std::string> args;
    if (g_key_file_load_from_file(kf, desktopFile.c_str(), G_KEY_FILE_NONE, nullptr)) {
        gchar* exec = g_key_file_get_string(kf, "Desktop Entry", "Exec", nullptr);
        std::string line = exec ? exec : "";
        g_free(exec);
        // Field codes: "%%" stands for one "%".
        for (std::size_t p = 0; (p = line.find("%%", p)) != std::string::npos; ++p) {
            line.erase(p, 1);
        }
        gint argc = 0;
        gchar** argv = nullptr;
        if (g_shell_parse_argv(line.c_str(), &argc, &argv, nullptr)) {
            args.assign(argv, argv + argc);
            g_strfreev(argv);
        }
    }
    g_key_file_free(kf);
    return args;
}

TEST(LinkFileTest, ItemLinksRoundTrip) {
    TempDir dir;
    CreateItemLink("/usr/bin/gedit", dir.path());
    EXPECT_EQ(ReadLinkTarget(dir / "gedit.lnk"), "/usr/bin/gedit");
    const auto link = ReadLinkFile(dir / "gedit.lnk");
    ASSERT_TRUE(link);
    EXPECT_EQ(link->workingDirectory, "/usr/bin/");
    EXPECT_EQ(ReadLinkIconLocation(dir / "gedit.lnk"), "");

    CreateItemLink("notes.txt", dir.path()); // no folder part: no working directory
    ASSERT_TRUE(ReadLinkFile(dir / "notes.txt.lnk"));
    EXPECT_EQ(ReadLinkFile(dir / "notes.txt.lnk")->workingDirectory, "");

    CreateItemLink("/opt/My App/run \"it\".sh", dir.path());
    EXPECT_EQ(ReadLinkTarget(dir / "run \"it\".sh.lnk"), "/opt/My App/run \"it\".sh");
}

TEST(LinkFileTest, WhatIsNoLinkReadsEmpty) {
    TempDir dir;
    WriteFile(dir / "binary.lnk", std::string("\x4C\0\0\0\x01\x14\x02\0\xFF\xFE", 10));
    WriteFile(dir / "other.lnk", "[Something Else]\nTarget=/bin/sh\n");
    WriteFile(dir / "broken.desktop", "not a key file\n\xFF");
    for (const char* name : {"missing.lnk", "binary.lnk", "other.lnk", "broken.desktop"}) {
        EXPECT_EQ(ReadLinkTarget(dir / name), "") << name;
        EXPECT_EQ(ReadLinkIconLocation(dir / name), "") << name;
    }
    WriteFile(dir / "app.desktop",
              "[Desktop Entry]\nType=Application\nExec=sh -c true\nIcon=/i.png\n");
    EXPECT_EQ(ReadLinkTarget(dir / "app.desktop"), "/usr/bin/sh");
    EXPECT_EQ(ReadLinkIconLocation(dir / "app.desktop"), "/i.png");
}

// One reading tells a row all the single reads tell.
TEST(LinkFileTest, TheSummaryAgreesWithEachRead) {
    TempDir dir;
    WriteLinkFile(dir / "full.lnk", LinkInfo{.target = "/usr/bin/gedit",
                                             .arguments = "--new",
                                             .description = "Edits text",
                                             .iconFile = "/i/g.ico",
                                             .iconIndex = 3});
    WriteFile(dir / "entry.desktop",
              "[Desktop Entry]\nType=Application\nName=Terminal\nName[de]=Konsole\n"
              "Comment=A shell\nExec=sh -c true\nIcon=utilities-terminal\n");
    WriteFile(dir / "broken.desktop", "not a key file\n\xFF");
    WriteFile(dir / "binary.lnk", std::string("\x4C\0\0\0", 4));
    for (const char* name :
         {"full.lnk", "entry.desktop", "broken.desktop", "binary.lnk", "missing.lnk"}) {
        const auto summary = korvane::shell::ReadLinkSummary(dir / name);
        int index = -1;
        EXPECT_EQ(summary.displayName, ReadLinkDisplayName(dir / name)) << name;
        EXPECT_EQ(summary.comment, korvane::shell::ReadLinkComment(dir / name)) << name;
        EXPECT_EQ(summary.target, ReadLinkTarget(dir / name)) << name;
        EXPECT_EQ(summary.iconFile, ReadLinkIconLocation(dir / name, &index)) << name;
        EXPECT_EQ(summary.iconIndex, index) << name;
    }
    EXPECT_EQ(korvane::shell::ReadLinkSummary(dir / "full.lnk").iconIndex, 3);
    EXPECT_EQ(korvane::shell::ReadLinkSummary(dir / "entry.desktop").target, "/usr/bin/sh");
}

TEST(ExecQuotingTest, QuotesWhatTheDesktopEntryFormatReserves) {
    EXPECT_EQ(QuoteExecArgument("plain"), "\"plain\"");
    EXPECT_EQ(QuoteExecArgument("a \"b\" $c `d` \\e 100%"),
              "\"a \\\"b\\\" \\$c \\`d\\` \\\\e 100%%\"");
}

TEST_F(HomeFixture, DesktopFolderFollowsUserDirs) {
    EXPECT_EQ(DesktopFolder(), home_ / "Desktop");
    WriteFile(home_ / "config" / "user-dirs.dirs",
              "# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n");
    EXPECT_EQ(DesktopFolder(), home_ / "Schreibtisch");
    WriteFile(home_ / "config" / "user-dirs.dirs", "XDG_DESKTOP_DIR=\"/srv/desk\"\n");
    EXPECT_EQ(DesktopFolder(), fs::path("/srv/desk"));
}

TEST_F(HomeFixture, DesktopShortcutsRunTheBatchWhole) {
    const std::string names[] = {"Monday morning", "Say \"hi\" to $HOME", "100% `back\\slash`",
                                 "Grüße 日本", "-startup"};
    for (const std::string& name : names) {
        const fs::path file = home_ / "Desktop" / (name + ".desktop");
        const std::vector<std::string> args{"--", name};
        WriteDesktopLink(file, name, "/opt/Kor vane/korvane", args, 2, "/icons/b.ico");
        WriteDesktopLink(file, name, "/opt/Kor vane/korvane", args, 2, "/icons/b.ico");
        ASSERT_TRUE(fs::exists(file)) << name;
        // As GLib reads it, and as it is read back here.
        EXPECT_EQ(ParseExec(file), (std::vector<std::string>{"/opt/Kor vane/korvane", "--", name}));
        const auto command = ReadDesktopLink(file);
        ASSERT_TRUE(command) << name;
        EXPECT_EQ(command->program, fs::path("/opt/Kor vane/korvane"));
        EXPECT_EQ(command->arguments, args);
        EXPECT_NE(fs::status(file).permissions() & fs::perms::owner_exec, fs::perms::none);
        GKeyFile* kf = g_key_file_new();
        ASSERT_TRUE(g_key_file_load_from_file(kf, file.c_str(), G_KEY_FILE_NONE, nullptr));
        gchar* entryName = g_key_file_get_string(kf, "Desktop Entry", "Name", nullptr);
        gchar* icon = g_key_file_get_string(kf, "Desktop Entry", "Icon", nullptr);
        gchar* comment = g_key_file_get_string(kf, "Desktop Entry", "Comment", nullptr);
        EXPECT_STREQ(entryName, name.c_str());
        EXPECT_STREQ(icon, "/icons/b.ico");
        EXPECT_STRNE(comment, entryName); // validators warn of a comment that repeats the name
        g_free(comment);
        g_free(entryName);
        g_free(icon);
        g_key_file_free(kf);
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(home_ / "Desktop"), fs::directory_iterator()),
              static_cast<std::ptrdiff_t>(std::size(names))); // written twice, one file each
    WriteFile(home_ / "Desktop" / "notes.desktop", "[Desktop Entry]\nType=Link\nURL=x\n");
    EXPECT_FALSE(ReadDesktopLink(home_ / "Desktop" / "notes.desktop"));
}

TEST_F(HomeFixture, AutostartEntryNamesItsProgramAndIcon) {
    for (const fs::path& exe :
         {fs::path("/opt/Kor vane/korvane"), fs::path("/opt/100% \"k\"/kv")}) {
        ASSERT_TRUE(WriteAutostartCommand(AutostartCommandFor(exe)));
        GKeyFile* kf = g_key_file_new();
        ASSERT_TRUE(
            g_key_file_load_from_file(kf, AutostartFile().c_str(), G_KEY_FILE_NONE, nullptr));
        gchar* tryExec = g_key_file_get_string(kf, "Desktop Entry", "TryExec", nullptr);
        gchar* icon = g_key_file_get_string(kf, "Desktop Entry", "Icon", nullptr);
        // A session skips an entry whose TryExec is gone instead of failing to run it.
        EXPECT_STREQ(tryExec, exe.c_str());
        EXPECT_STREQ(icon, ProgramIconName().c_str());
        g_free(tryExec);
        g_free(icon);
        g_key_file_free(kf);
        EXPECT_EQ(ReadAutostartCommand(), AutostartCommandFor(exe));
    }
}

TEST(VersionTextTest, SelectsParts) {
    struct {
        unsigned parts;
        const char* text;
    } cases[] = {{7, "1.0.0"}, {15, "1.0.0.0"}, {1, "1"}, {2, "0"}, {0, ""}};
    for (const auto& c : cases) {
        EXPECT_EQ(VersionText(c.parts), c.text) << c.parts;
    }
}

TEST(ShellOpenTest, StartsProgramsLinksAndEntriesInTheirFolders) {
    TempDir dir;
    const fs::path marker = dir / "marker";
    const fs::path script = MakeScript(dir / "bin" / "tool.sh", marker);
    fs::create_directories(dir / "work");
    fs::create_directories(dir / "item");
    struct Case {
        const char* name;
        std::function<fs::path()> make; // the file to open
        fs::path directory;
        std::string expected;
    } cases[] = {
        {"executable", [&] { return script; }, dir / "work",
         "tool.sh [] " + (dir / "work").string() + "\n"},
        {"linkWithoutFolder",
         [&] {
             WriteLinkFile(dir / "item" / "a.lnk",
                           LinkInfo{.target = script.string(), .arguments = "-x \"two words\""});
             return dir / "item" / "a.lnk";
         },
         dir / "item", "tool.sh [-x two words] " + (dir / "item").string() + "\n"},
        {"linkWithItsOwnFolder",
         [&] {
             WriteLinkFile(
                 dir / "item" / "b.lnk",
                 LinkInfo{.target = script.string(), .workingDirectory = (dir / "work").string()});
             return dir / "item" / "b.lnk";
         },
         dir / "item", "tool.sh [] " + (dir / "work").string() + "\n"},
        {"desktopEntry",
         [&] {
             WriteFile(dir / "item" / "c.desktop",
                       "[Desktop Entry]\nType=Application\nName=C\nExec=" + script.string() +
                           " entry\n");
             return dir / "item" / "c.desktop";
         },
         dir / "item", "tool.sh [entry] " + (dir / "item").string() + "\n"},
    };
    for (const Case& c : cases) {
        fs::remove(marker);
        ShellOpen(c.make(), "", c.directory);
        EXPECT_EQ(WaitForLine(marker), c.expected) << c.name;
    }
}

TEST(ShellOpenTest, NamesThatAreNotUtf8AndScriptsWithoutAnInterpreterLine) {
    TempDir dir;
    const fs::path marker = dir / "marker";
    // File names are bytes: "\xFF" is no UTF-8, and a link to it must lead
    // back to the very same file.
    const fs::path odd = dir / "b\xFFn" / "t\xE9st.sh";
    MakeScript(odd, marker);
    fs::create_directories(dir / "item");
    CreateItemLink(odd, dir / "item");
    const fs::path link = dir / "item" / "t\xE9st.sh.lnk";
    EXPECT_EQ(ReadLinkTarget(link), odd.string());
    ASSERT_TRUE(ReadLinkFile(link));
    EXPECT_EQ(ReadLinkFile(link)->workingDirectory, (dir / "b\xFFn").string() + "/");
    ShellOpen(link, "", dir / "item");
    EXPECT_EQ(WaitForLine(marker), "t\xE9st.sh [] " + (dir / "b\xFFn").string() + "\n");

    // An executable script with no "#!" line runs under /bin/sh.
    fs::remove(marker);
    const fs::path bare = dir / "bare.sh";
    WriteFile(bare, "echo \"bare [$*] $(pwd)\" >> '" + marker.string() + "'\n");
    fs::permissions(bare, fs::perms::owner_all);
    ShellOpen(bare, "", dir / "item");
    EXPECT_EQ(WaitForLine(marker), "bare [] " + (dir / "item").string() + "\n");
}

// A failure throws nothing and opens no box: it is told, with the reason.
TEST(ShellOpenTest, FailuresAreToldNotThrown) {
    TempDir dir;
    WriteLinkFile(dir / "dangling.lnk", LinkInfo{.target = (dir / "gone").string()});
    WriteLinkFile(dir / "loop.lnk", LinkInfo{.target = (dir / "loop.lnk").string()});
    WriteFile(dir / "empty.lnk", "[Shell Link]\nArguments=x\n");
    WriteFile(dir / "binary.lnk", std::string("\x4C\0\0\0", 4));
    const struct {
        const char* name;
        const char* reason;
    } rows[] = {
        {"missing", "No such file or directory"},
        {"dangling.lnk", "No such file or directory"},
        {"loop.lnk", "too many links lead on to one another"},
        {"empty.lnk", "the link names no target"},
        {"binary.lnk", "is not a link this program can read"},
        {"korvane-no-such-program", "on the search path"},
    };
    for (const auto& row : rows) {
        OpenResult result;
        const fs::path file = std::string(row.name).find('-') != std::string::npos
                                  ? fs::path(row.name)
                                  : dir / row.name;
        EXPECT_NO_THROW(result = ShellOpen(file, "", dir.path())) << row.name;
        EXPECT_FALSE(result.started) << row.name;
        EXPECT_NE(result.failure.find(row.reason), std::string::npos)
            << row.name << ": " << result.failure;
    }
}

TEST(LinkFileTest, ACommandLineBecomesALinkThatRunsItWordForWord) {
    TempDir dir;
    ASSERT_TRUE(CreateCommandLink("Sync", "/opt/sync/tool --x 'a b' \"c'd\" \\$HOME", dir.path()));
    const auto link = ReadLinkFile(dir / "Sync.lnk");
    ASSERT_TRUE(link);
    EXPECT_EQ(link->target, "/opt/sync/tool");
    EXPECT_EQ(link->workingDirectory, "/opt/sync/");
    EXPECT_EQ(korvane::shell::SplitShellWords(link->arguments),
              (std::vector<std::string>{"--x", "a b", "c'd", "$HOME"}));
    EXPECT_FALSE(CreateCommandLink("Nothing", "  ", dir.path()));
    EXPECT_FALSE(CreateCommandLink("a/b", "/bin/true", dir.path()));
}

} // namespace

namespace {

// The children of this process that have ended and not been collected.
int Zombies() {
    int count = 0;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string stat = ReadFile(entry.path() / "stat");
        const auto close = stat.rfind(')');
        if (close == std::string::npos) {
            continue;
        }
        char state = 0;
        int ppid = 0;
        if (std::sscanf(stat.c_str() + close + 1, " %c %d", &state, &ppid) == 2 &&
            ppid == ::getpid() && state == 'Z') {
            ++count;
        }
    }
    return count;
}

} // namespace

// A program the editor started and that ended is collected at once, not
// when the next one starts.
TEST_F(HomeFixture, StartedProgramsAreCollectedAsTheyEnd) {
    const fs::path marker = home_ / "marker";
    const fs::path script = MakeScript(home_ / "quick.sh", marker);
    ShellOpen(script, "", home_.path());
    WaitForLine(marker);
    WaitFor([] { return Zombies() == 0; });
    EXPECT_EQ(Zombies(), 0);
}

// The applications "Add application" offers: found and filtered as the
// desktop's menus find them.
#include "scoped_env.h"
#include "shell/application_list.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace fs = std::filesystem;
using korvane::shell::InstalledApplication;
using korvane::shell::ListInstalledApplications;
using korvane::shell::MatchesSearch;
using korvane::test::ScopedEnv;
using korvane::test::TempDir;
using korvane::test::WriteFile;

namespace {

class ApplicationListTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ScopedEnv::Set("HOME", dir_.path().string());
        ScopedEnv::Set("XDG_DATA_HOME", (dir_ / "home-data").string());
        ScopedEnv::Set("XDG_DATA_DIRS",
                       (dir_ / "local").string() + ":" + (dir_ / "system").string());
        ScopedEnv::Set("PATH", (dir_ / "bin").string());
    }

    static std::string Entry(const std::string& name, const std::string& more = "") {
        return "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=true\n" + more;
    }

    // The test's own applications (a machine's Flatpak or Snap exports may
    // add others), by id, in the order listed.
    std::vector<std::string> Ids(const std::vector<std::string>& desktops = {}) {
        std::vector<std::string> ids;
        for (const InstalledApplication& app : ListInstalledApplications(desktops)) {
            if (app.file.string().starts_with(dir_.path().string())) {
                ids.push_back(app.id);
            }
        }
        return ids;
    }

    TempDir dir_;
    ScopedEnv env_{{"HOME", "XDG_DATA_HOME", "XDG_DATA_DIRS", "LANG", "LC_ALL", "LC_MESSAGES",
                    "LANGUAGE", "PATH"}};
};

TEST_F(ApplicationListTest, ListsWhatAMenuShowsInNameOrder) {
    const fs::path system = dir_ / "system" / "applications";
    WriteFile(system / "zeta.desktop", Entry("zeta"));
    WriteFile(system / "alpha.desktop", Entry("Alpha", "Comment=First\nIcon=alpha-icon\n"));
    WriteFile(system / "kde4" / "konsole.desktop", Entry("Konsole"));
    WriteFile(system / "hidden.desktop", Entry("Hidden", "Hidden=true\n"));
    WriteFile(system / "nodisplay.desktop", Entry("Helper", "NoDisplay=true\n"));
    WriteFile(system / "link.desktop", "[Desktop Entry]\nType=Link\nName=Site\nURL=https://x/\n");
    WriteFile(system / "noname.desktop", "[Desktop Entry]\nType=Application\nExec=true\n");
    WriteFile(system / "binary.desktop", std::string("\x7f"
                                                     "ELF\0\0\x01",
                                                     7));
    WriteFile(system / "README", Entry("Not an entry"));
    WriteFile(system / "gone.desktop", Entry("Gone", "TryExec=no-such-program\n"));
    WriteFile(dir_ / "bin" / "there", "#!/bin/sh\n");
    fs::permissions(dir_ / "bin" / "there", fs::perms::owner_all);
    WriteFile(system / "there.desktop", Entry("There", "TryExec=there\n"));
    EXPECT_EQ(Ids(), (std::vector<std::string>{"alpha.desktop", "kde4-konsole.desktop",
                                               "there.desktop", "zeta.desktop"}));
    const auto apps = ListInstalledApplications({});
    const auto alpha = std::find_if(apps.begin(), apps.end(),
                                    [](const auto& a) { return a.id == "alpha.desktop"; });
    ASSERT_NE(alpha, apps.end());
    EXPECT_EQ(alpha->name, "Alpha");
    EXPECT_EQ(alpha->comment, "First");
    EXPECT_EQ(alpha->icon, "alpha-icon");
    EXPECT_EQ(alpha->file, system / "alpha.desktop");
}

TEST_F(ApplicationListTest, TheFirstFolderWithAnIdDecides) {
    WriteFile(dir_ / "system" / "applications" / "mail.desktop", Entry("System mail"));
    WriteFile(dir_ / "local" / "applications" / "mail.desktop", Entry("Local mail"));
    WriteFile(dir_ / "system" / "applications" / "editor.desktop", Entry("Editor"));
    // The user's own copy that hides an entry hides the system's too.
    WriteFile(dir_ / "home-data" / "applications" / "editor.desktop",
              Entry("Editor", "Hidden=true\n"));
    const auto apps = ListInstalledApplications({});
    std::vector<std::string> names;
    for (const auto& app : apps) {
        if (app.file.string().starts_with(dir_.path().string())) {
            names.push_back(app.name);
        }
    }
    EXPECT_EQ(names, std::vector<std::string>{"Local mail"});
}

TEST_F(ApplicationListTest, OnlyShowInAndNotShowInFollowTheDesktop) {
    const fs::path system = dir_ / "system" / "applications";
    WriteFile(system / "gnome-only.desktop", Entry("G", "OnlyShowIn=GNOME;Unity;\n"));
    WriteFile(system / "not-kde.desktop", Entry("N", "NotShowIn=KDE;\n"));
    WriteFile(system / "plain.desktop", Entry("P"));
    const struct {
        const char* name;
        std::vector<std::string> desktops;
        std::vector<std::string> ids;
    } rows[] = {
        {"noDesktop", {}, {"not-kde.desktop", "plain.desktop"}},
        {"gnome", {"GNOME"}, {"gnome-only.desktop", "not-kde.desktop", "plain.desktop"}},
        {"ubuntu", {"ubuntu", "GNOME"}, {"gnome-only.desktop", "not-kde.desktop", "plain.desktop"}},
        {"kde", {"KDE"}, {"plain.desktop"}},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(Ids(row.desktops), row.ids) << row.name;
    }
}

TEST_F(ApplicationListTest, NamesFollowTheUsersLanguage) {
    ScopedEnv::Set("LANG", "de_DE.UTF-8");
    WriteFile(dir_ / "system" / "applications" / "files.desktop",
              Entry("Files", "Name[de]=Dateien\nComment=Browse\nComment[de]=Durchsuchen\n"
                             "Keywords=folder;\nKeywords[de]=Ordner;\n"));
    const auto apps = ListInstalledApplications({});
    ASSERT_FALSE(apps.empty());
    const auto& app = apps.front();
    EXPECT_EQ(app.name, "Dateien");
    EXPECT_EQ(app.comment, "Durchsuchen");
    EXPECT_TRUE(MatchesSearch(app, "ordner"));
}

TEST(ApplicationSearchTest, EveryWordIsFoundSomewhere) {
    const InstalledApplication app{.id = "org.xfce.mousepad.desktop",
                                   .name = "Mousepad",
                                   .genericName = "Text Editor",
                                   .comment = "Simple Text Editor",
                                   .keywords = "text;editor;notepad;"};
    const struct {
        const char* typed;
        bool found;
    } rows[] = {{"", true},          {"mouse", true},         {"MOUSE", true},
                {"text edit", true}, {"  text   pad ", true}, {"xfce", true},
                {"notepad", true},   {"word", false},         {"mouse word", false},
                {"editor\nx", false}};
    for (const auto& row : rows) {
        EXPECT_EQ(MatchesSearch(app, row.typed), row.found) << row.typed;
    }
    const InstalledApplication accented{.id = "x.desktop", .name = "Écran"};
    EXPECT_TRUE(MatchesSearch(accented, "écr"));
    EXPECT_TRUE(MatchesSearch(accented, "ÉCR"));
}

} // namespace

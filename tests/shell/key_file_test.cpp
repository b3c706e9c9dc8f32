// The key files and shell words of the freedesktop backend, checked against
// GLib, whose rules the desktops that read these files follow.
#include "scoped_env.h"
#include "shell/desktop_entry.h"
#include "shell/key_file.h"
#include "shell/shell_words.h"
#include "test_support.h"

#include <glib.h>
#include <gtest/gtest.h>
#include <rapidcheck.h>
#include <rapidcheck/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

using korvane::shell::KeyFile;
using korvane::shell::SplitShellWords;

namespace {

rc::Gen<std::string> TextOf(std::vector<std::string> alphabet) {
    return rc::gen::map(
        rc::gen::container<std::vector<std::string>>(rc::gen::elementOf(std::move(alphabet))),
        [](const std::vector<std::string>& parts) {
            std::string s;
            for (const auto& p : parts) {
                s += p;
            }
            return s;
        });
}

std::optional<std::vector<std::string>> GLibWords(const std::string& text) {
    gint argc = 0;
    gchar** argv = nullptr;
    if (!g_shell_parse_argv(text.c_str(), &argc, &argv, nullptr)) {
        return std::nullopt;
    }
    std::vector<std::string> words(argv, argv + argc);
    g_strfreev(argv);
    return words;
}

std::optional<std::string> GLibValue(const std::string& fileText, const char* group,
                                     const char* key) {
    GKeyFile* kf = g_key_file_new();
    std::optional<std::string> result;
    if (g_key_file_load_from_data(kf, fileText.c_str(), fileText.size(), G_KEY_FILE_NONE,
                                  nullptr)) {
        if (gchar* v = g_key_file_get_string(kf, group, key, nullptr)) {
            result = v;
            g_free(v);
        }
    }
    g_key_file_free(kf);
    return result;
}

} // namespace

RC_GTEST_PROP(ShellWords, SplitAsGLibDoes, ()) {
    const std::string text =
        *TextOf({"a", "b", " ", "\t", "\n", "'", "\"", "\\", "#", "$", "`", "é"});
    RC_ASSERT(SplitShellWords(text) == GLibWords(text));
}

RC_GTEST_PROP(KeyFileValues, WhatWeWriteGLibReads, ()) {
    const std::string value =
        *TextOf({"a", " ", "\t", "\n", "\r", "\\", "s", "=", "[", "#", ";", "é", "\""});
    KeyFile kf = *KeyFile::Parse("# a comment\n[Other]\nX=1\n");
    kf.Set("Shell Link", "Arguments", value);
    RC_ASSERT(GLibValue(kf.Serialize(), "Shell Link", "Arguments") == std::optional(value));
    RC_ASSERT(KeyFile::Parse(kf.Serialize())->Get("Shell Link", "Arguments") ==
              std::optional(value));
}

RC_GTEST_PROP(KeyFileValues, WhatGLibWritesWeRead, ()) {
    const std::string value = *TextOf({"a", " ", "\t", "\n", "\r", "\\", "s", "=", "é", ";"});
    GKeyFile* g = g_key_file_new();
    g_key_file_set_string(g, "G", "K", value.c_str());
    gchar* data = g_key_file_to_data(g, nullptr, nullptr);
    const std::string text = data;
    g_free(data);
    g_key_file_free(g);
    RC_ASSERT(KeyFile::Parse(text)->Get("G", "K") == std::optional(value));
}

RC_GTEST_PROP(KeyFileValues, RawLinesReadAsGLibReadsThem, ()) {
    const std::string raw = *TextOf({"a", " ", "\t", "\\", "s", "n", "x", "=", "é", "\xff"});
    const std::string text = "[G]\nK=" + raw + "\n";
    const auto ours = KeyFile::Parse(text);
    RC_ASSERT(ours.has_value());
    RC_ASSERT(ours->Get("G", "K") == GLibValue(text, "G", "K"));
}

TEST(KeyFileTest, ARewriteKeepsEveryOtherLine) {
    const std::string text = "# Made by hand\n"
                             "[Desktop Entry]\n"
                             "Type=Application\n"
                             "Name=Editor\n"
                             "Name[de]=Bearbeiter\n"
                             "Exec=vi %F\n"
                             "X-Unknown = kept as it is  \n"
                             "\n"
                             "[Desktop Action New]\n"
                             "Name=New window\n"
                             "Exec=vi\n";
    auto kf = KeyFile::Parse(text);
    ASSERT_TRUE(kf);
    kf->Set("Desktop Entry", "Exec", "vim %F");
    kf->Set("Desktop Entry", "Path", "/tmp/a b");
    kf->Set("Shell Link", "Target", " lead");
    std::string expected = text;
    expected.replace(expected.find("Exec=vi %F\n"), 11, "Exec=vim %F\n");
    expected.replace(expected.find("X-Unknown = kept as it is  \n"), 28,
                     "X-Unknown = kept as it is  \nPath=/tmp/a b\n");
    expected += "\n[Shell Link]\nTarget=\\slead\n";
    EXPECT_EQ(kf->Serialize(), expected);
    EXPECT_EQ(kf->Get("Desktop Entry", "Name[de]"), std::optional<std::string>("Bearbeiter"));
    EXPECT_EQ(kf->Get("Desktop Entry", "X-Unknown"), std::optional<std::string>("kept as it is  "));
    EXPECT_EQ(kf->Get("Desktop Action New", "Exec"), std::optional<std::string>("vi"));
    EXPECT_EQ(kf->Get("Shell Link", "Target"), std::optional<std::string>(" lead"));
}

TEST(KeyFileTest, WhatIsNoKeyFile) {
    struct {
        const char* name;
        std::string text;
        bool valid;
    } rows[] = {
        {"empty", "", true},
        {"comments only", "# x\n\n   # y\n", true},
        {"entry before a group", "K=v\n[G]\n", false},
        {"stray line", "[G]\nno equals sign\n", false},
        {"unclosed group", "[G\nK=v\n", false},
        {"text after a group", "[G] x\n", false},
        {"blanks after a group", "[G]  \t\nK=v\n", true},
        {"windows line ends", "[G]\r\nK=v\r\n", true},
        {"binary", std::string("\x4C\0\0\0\x01\x14", 6), false},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(KeyFile::Parse(row.text).has_value(), row.valid) << row.name;
    }
    EXPECT_EQ(KeyFile::Parse("[G]\r\nK=v\r\n")->Get("G", "K"), std::optional<std::string>("v"));
    EXPECT_EQ(KeyFile::Parse("[G]\nN= 12 \n")->GetInteger("G", "N"), std::optional<int>(12));
    EXPECT_EQ(KeyFile::Parse("[G]\nN=12x\n")->GetInteger("G", "N"), std::nullopt);
}

TEST(ShellWordsTest, FindsProgramsOnThePath) {
    gchar* sh = g_find_program_in_path("sh");
    ASSERT_TRUE(sh);
    EXPECT_EQ(korvane::shell::FindProgramInPath("sh"), std::optional<std::filesystem::path>(sh));
    g_free(sh);
    EXPECT_EQ(korvane::shell::FindProgramInPath("korvane-no-such-program"), std::nullopt);
    EXPECT_EQ(korvane::shell::FindProgramInPath("/bin/sh"),
              std::optional<std::filesystem::path>("/bin/sh"));
    EXPECT_EQ(korvane::shell::FindProgramInPath("/etc/passwd"), std::nullopt); // not executable
    EXPECT_EQ(korvane::shell::FindProgramInPath("/usr/bin"), std::nullopt);    // a folder
}

// Links, desktop shortcuts and the autostart entry are saved whole by
// whichever process writes them: a second writer must never see its
// temporary file taken away half-way.
TEST(KeyFileTest, TwoProcessesSavingOneFileBothSucceedEveryTime) {
    korvane::test::TempDir dir;
    const std::filesystem::path file = dir / "Shared.desktop";
    std::vector<pid_t> children;
    for (int p = 0; p < 2; ++p) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            int failures = 0;
            for (int i = 0; i < 1000; ++i) {
                KeyFile kf;
                kf.Set("Desktop Entry", "Name", "writer " + std::to_string(p));
                kf.Set("Desktop Entry", "X-Count", std::to_string(i));
                failures += kf.Save(file) ? 0 : 1;
            }
            ::_exit(failures > 0 ? 1 : 0);
        }
        children.push_back(pid);
    }
    for (const pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a save failed";
    }
    ASSERT_TRUE(KeyFile::Load(file).has_value());
    int entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path())) {
        ++entries;
    }
    EXPECT_EQ(entries, 1) << "a temporary file was left behind";
}

namespace {

// The locale variables of one row, put back afterwards.
class LocaleEnv : public korvane::test::ScopedEnv {
  public:
    explicit LocaleEnv(std::initializer_list<std::pair<const char*, const char*>> values)
        : ScopedEnv({"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}, values) {}
};

} // namespace

TEST(DesktopEntryNames, FollowTheUsersLanguage) {
    const auto kf = KeyFile::Parse("[Desktop Entry]\nName=Mail\nName[de]=Post\n"
                                   "Name[de_AT]=Postamt\nName[sr@latin]=Pošta\n"
                                   "Name[pt_BR]=Correio\nName[fr]=\\sCourrier\n"
                                   "Comment=Read mail\n");
    ASSERT_TRUE(kf);
    struct Row {
        const char* name;
        std::initializer_list<std::pair<const char*, const char*>> env;
        const char* expected;
    } rows[] = {
        {"NoLocale", {}, "Mail"},
        {"CLocale", {{"LANG", "C.UTF-8"}}, "Mail"},
        {"CLocaleIgnoresLanguage", {{"LANG", "C"}, {"LANGUAGE", "de"}}, "Mail"},
        {"LanguageOnly", {{"LANG", "de_DE.UTF-8"}}, "Post"},
        {"CountryWins", {{"LANG", "de_AT.UTF-8"}}, "Postamt"},
        {"ModifierKept", {{"LANG", "sr_RS.UTF-8@latin"}}, "Pošta"},
        {"EncodingDropped", {{"LANG", "pt_BR.ISO-8859-1"}}, "Correio"},
        {"NoTranslation", {{"LANG", "ja_JP.UTF-8"}}, "Mail"},
        {"LcAllOverLang", {{"LANG", "de_DE.UTF-8"}, {"LC_ALL", "pt_BR.UTF-8"}}, "Correio"},
        {"LcMessagesOverLang", {{"LANG", "pt_BR.UTF-8"}, {"LC_MESSAGES", "de_AT"}}, "Postamt"},
        {"LanguageListInOrder", {{"LANG", "de_DE.UTF-8"}, {"LANGUAGE", "ja:fr:de"}}, " Courrier"},
    };
    for (const Row& row : rows) {
        const LocaleEnv env(row.env);
        EXPECT_EQ(korvane::shell::LocalizedString(*kf, "Desktop Entry", "Name",
                                                  korvane::shell::MessageLocales()),
                  row.expected)
            << row.name;
    }
    const LocaleEnv env({{"LANG", "de_DE.UTF-8"}});
    EXPECT_EQ(korvane::shell::LocalizedString(*kf, "Desktop Entry", "Comment",
                                              korvane::shell::MessageLocales()),
              "Read mail"); // untranslated keys fall back
    EXPECT_EQ(korvane::shell::LocalizedString(*kf, "Desktop Entry", "Icon",
                                              korvane::shell::MessageLocales()),
              std::nullopt);
}

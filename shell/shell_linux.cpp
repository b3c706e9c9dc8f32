// The shell on freedesktop systems, through GIO.
#include "shell/desktop_entry.h"
#include "shell/link_file.h"
#include "shell/shell.h"
#include "shell/version.h"
#include "shell/version_parts.h"

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>
#include <glib.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <memory>
#include <pwd.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

extern char** environ;

namespace korvane::shell {

namespace {

constexpr const char* kLinkGroup = "Shell Link";
constexpr int kMaxLinkDepth = 8;

struct GFree {
    void operator()(gpointer p) const { g_free(p); }
};
struct GObjectUnref {
    void operator()(gpointer p) const {
        if (p) {
            g_object_unref(p);
        }
    }
};
struct KeyFileFree {
    void operator()(GKeyFile* k) const { g_key_file_free(k); }
};
struct StrvFree {
    void operator()(gchar** v) const { g_strfreev(v); }
};
template <class T> using GObjectPtr = std::unique_ptr<T, GObjectUnref>;
using GString_ = std::unique_ptr<gchar, GFree>;
using KeyFile = std::unique_ptr<GKeyFile, KeyFileFree>;
using Strv = std::unique_ptr<gchar*, StrvFree>;

std::string ToString(const gchar* s) {
    return s ? std::string(s) : std::string();
}

std::string KeyString(GKeyFile* kf, const char* group, const char* key) {
    GString_ v(g_key_file_get_string(kf, group, key, nullptr));
    return ToString(v.get());
}

// Key files hold UTF-8 text. A path that is not UTF-8 (file names are bytes
// here) is kept twice: readable, with replacement characters, under its own
// key, and byte for byte, percent-escaped, under key + "-Escaped", which
// readers prefer.
constexpr const char* kEscapedSuffix = "-Escaped";

void PutPathKey(GKeyFile* kf, const char* group, const std::string& key, const std::string& value) {
    if (g_utf8_validate(value.data(), static_cast<gssize>(value.size()), nullptr)) {
        g_key_file_set_string(kf, group, key.c_str(), value.c_str());
        return;
    }
    GString_ shown(g_filename_display_name(value.c_str()));
    g_key_file_set_string(kf, group, key.c_str(), shown.get());
    GString_ escaped(g_uri_escape_string(value.c_str(), "/", TRUE));
    g_key_file_set_string(kf, group, (key + kEscapedSuffix).c_str(), escaped.get());
}

std::string PathKey(GKeyFile* kf, const char* group, const std::string& key) {
    GString_ escaped(g_key_file_get_string(kf, group, (key + kEscapedSuffix).c_str(), nullptr));
    if (escaped) {
        GString_ bytes(g_uri_unescape_string(escaped.get(), nullptr));
        if (bytes) {
            return bytes.get();
        }
    }
    return KeyString(kf, group, key.c_str());
}

KeyFile LoadKeyFile(const fs::path& file) {
    KeyFile kf(g_key_file_new());
    if (!g_key_file_load_from_file(kf.get(), file.c_str(), G_KEY_FILE_NONE, nullptr)) {
        return nullptr;
    }
    return kf;
}

std::string LowerExtension(const fs::path& file) {
    std::string ext = file.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

std::vector<std::string> SplitArguments(std::string_view text) {
    std::vector<std::string> args;
    if (text.find_first_not_of(" \t") == std::string_view::npos) {
        return args;
    }
    gint argc = 0;
    gchar** argv = nullptr;
    if (g_shell_parse_argv(std::string(text).c_str(), &argc, &argv, nullptr)) {
        Strv hold(argv);
        args.assign(argv, argv + argc);
    }
    return args;
}

struct ChildDirectory {
    const char* path;
};

// Runs in the child between fork and exec: only async-signal-safe calls.
void EnterDirectory(gpointer data) {
    const auto* dir = static_cast<const ChildDirectory*>(data);
    if (dir->path && dir->path[0] != '\0') {
        (void)::chdir(dir->path);
    }
}

void LaunchDesktopApp(GAppInfo* app, const std::vector<std::string>& uris, const fs::path& dir) {
    std::vector<GString_> owned;
    GList* list = nullptr;
    for (const std::string& uri : uris) {
        owned.emplace_back(g_strdup(uri.c_str()));
        list = g_list_append(list, owned.back().get());
    }
    if (G_IS_DESKTOP_APP_INFO(app)) {
        auto* info = G_DESKTOP_APP_INFO(app);
        // An entry's own Path= wins over the folder we were given.
        const std::string path =
            g_desktop_app_info_has_key(info, "Path") ? std::string() : dir.string();
        ChildDirectory child{path.c_str()};
        (void)g_desktop_app_info_launch_uris_as_manager(info, list, nullptr, G_SPAWN_SEARCH_PATH,
                                                        EnterDirectory, &child, nullptr, nullptr,
                                                        nullptr);
    } else {
        (void)g_app_info_launch_uris(app, list, nullptr, nullptr);
    }
    g_list_free(list);
}

std::vector<std::string> AsUris(const std::vector<std::string>& args) {
    std::vector<std::string> uris;
    for (const std::string& a : args) {
        if (a.find("://") != std::string::npos) {
            uris.push_back(a);
        } else {
            GObjectPtr<GFile> f(g_file_new_for_commandline_arg(a.c_str()));
            GString_ uri(g_file_get_uri(f.get()));
            uris.push_back(ToString(uri.get()));
        }
    }
    return uris;
}

void SpawnProgram(const fs::path& program, const std::vector<std::string>& args,
                  const fs::path& dir) {
    // posix_spawn does not copy this (large) process as fork does, which
    // makes a batch of many programs start several times faster.
    std::vector<std::string> argvStore{program.string()};
    argvStore.insert(argvStore.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argvStore) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!dir.empty()) {
        posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
    }
    // The program reads no input of ours, as when the desktop starts it.
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &all);
    posix_spawnattr_setflags(&attr,
                             POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSID);
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], &actions, &attr, argv.data(), environ) == ENOEXEC) {
        // An executable script without a "#!" line: the shell runs it, as
        // execvp and every shell do.
        static char shell[] = "/bin/sh";
        argv.insert(argv.begin(), shell);
        (void)posix_spawn(&pid, shell, &actions, &attr, argv.data(), environ);
    }
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    // Started programs are never waited for; the ones that have ended are
    // reaped here so that a long-running editor collects no zombies.
    while (::waitpid(-1, nullptr, WNOHANG) > 0) {
    }
}

void OpenWithDefaultApp(const fs::path& file, const fs::path& dir) {
    GObjectPtr<GFile> gfile(g_file_new_for_path(file.c_str()));
    GObjectPtr<GFileInfo> info(g_file_query_info(gfile.get(),
                                                 G_FILE_ATTRIBUTE_STANDARD_CONTENT_TYPE,
                                                 G_FILE_QUERY_INFO_NONE, nullptr, nullptr));
    if (!info) {
        return;
    }
    const char* type = g_file_info_get_content_type(info.get());
    if (!type) {
        return;
    }
    GObjectPtr<GAppInfo> app(g_app_info_get_default_for_type(type, FALSE));
    if (!app) {
        return;
    }
    GString_ uri(g_file_get_uri(gfile.get()));
    LaunchDesktopApp(app.get(), {ToString(uri.get())}, dir);
}

void OpenResolved(fs::path file, const std::vector<std::string>& args, const fs::path& dir,
                  int depth) {
    if (depth > kMaxLinkDepth || file.empty()) {
        return;
    }
    if (const std::string text = file.string(); text.find("://") != std::string::npos) {
        (void)g_app_info_launch_default_for_uri(text.c_str(), nullptr, nullptr);
        return;
    }
    std::error_code ec;
    if (file.is_relative() && !dir.empty() && fs::exists(dir / file, ec)) {
        file = dir / file;
    } else if (!file.has_parent_path() && !fs::exists(file, ec)) {
        GString_ found(g_find_program_in_path(file.c_str()));
        if (!found) {
            return;
        }
        file = found.get();
    }
    const std::string ext = LowerExtension(file);
    if (ext == ".lnk") {
        if (const auto link = ReadLinkFile(file)) {
            const fs::path wd =
                link->workingDirectory.empty() ? dir : fs::path(link->workingDirectory);
            OpenResolved(link->target, SplitArguments(link->arguments), wd, depth + 1);
        }
        return;
    }
    if (ext == ".desktop") {
        GObjectPtr<GDesktopAppInfo> app(g_desktop_app_info_new_from_filename(file.c_str()));
        if (app) {
            LaunchDesktopApp(G_APP_INFO(app.get()), AsUris(args), dir);
        }
        return;
    }
    const auto status = fs::status(file, ec);
    if (ec) {
        return;
    }
    if (fs::is_regular_file(status) && ::access(file.c_str(), X_OK) == 0) {
        SpawnProgram(file, args, dir);
        return;
    }
    OpenWithDefaultApp(file, dir);
}

fs::path HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) {
        return home;
    }
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) {
        return pw->pw_dir;
    }
    return "/";
}

// XDG_DESKTOP_DIR from user-dirs.dirs: "$HOME/Desktop" or an absolute path.
std::optional<fs::path> UserDirsDesktop() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const fs::path file =
        (config && *config ? fs::path(config) : HomeFolder() / ".config") / "user-dirs.dirs";
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        const auto start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line.compare(start, 16, "XDG_DESKTOP_DIR=") != 0) {
            continue;
        }
        std::string value = line.substr(start + 16);
        if (value.size() >= 2 && value.front() == '"') {
            value = value.substr(1, value.rfind('"') - 1);
        }
        if (value.starts_with("$HOME")) {
            std::string rest = value.substr(5);
            while (!rest.empty() && rest.front() == '/') {
                rest.erase(0, 1);
            }
            return HomeFolder() / rest;
        }
        if (!value.empty() && value.front() == '/') {
            return fs::path(value);
        }
    }
    return std::nullopt;
}

// A desktop entry of type Application that runs exec.
KeyFile NewApplicationEntry(const std::string& name, const std::string& comment,
                            const std::string& exec) {
    constexpr const char* group = G_KEY_FILE_DESKTOP_GROUP;
    KeyFile kf(g_key_file_new());
    g_key_file_set_string(kf.get(), group, G_KEY_FILE_DESKTOP_KEY_TYPE,
                          G_KEY_FILE_DESKTOP_TYPE_APPLICATION);
    g_key_file_set_string(kf.get(), group, G_KEY_FILE_DESKTOP_KEY_VERSION, "1.0");
    g_key_file_set_string(kf.get(), group, G_KEY_FILE_DESKTOP_KEY_NAME, name.c_str());
    g_key_file_set_string(kf.get(), group, G_KEY_FILE_DESKTOP_KEY_COMMENT, comment.c_str());
    g_key_file_set_string(kf.get(), group, G_KEY_FILE_DESKTOP_KEY_EXEC, exec.c_str());
    g_key_file_set_boolean(kf.get(), group, G_KEY_FILE_DESKTOP_KEY_TERMINAL, FALSE);
    return kf;
}

bool ValidFileName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string("/\0", 2)) == std::string::npos;
}

} // namespace

std::string FolderPart(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::optional<LinkInfo> ReadLinkFile(const fs::path& file) {
    KeyFile kf = LoadKeyFile(file);
    if (!kf || !g_key_file_has_group(kf.get(), kLinkGroup)) {
        return std::nullopt;
    }
    LinkInfo link;
    link.target = PathKey(kf.get(), kLinkGroup, "Target");
    link.workingDirectory = PathKey(kf.get(), kLinkGroup, "WorkingDirectory");
    link.arguments = PathKey(kf.get(), kLinkGroup, "Arguments");
    link.description = KeyString(kf.get(), kLinkGroup, "Description");
    link.iconFile = PathKey(kf.get(), kLinkGroup, "IconFile");
    link.iconIndex = g_key_file_get_integer(kf.get(), kLinkGroup, "IconIndex", nullptr);
    return link;
}

bool WriteLinkFile(const fs::path& file, const LinkInfo& link) {
    KeyFile kf(g_key_file_new());
    const auto put = [&](const char* key, const std::string& value) {
        if (!value.empty()) {
            PutPathKey(kf.get(), kLinkGroup, key, value);
        }
    };
    put("Target", link.target);
    put("WorkingDirectory", link.workingDirectory);
    put("Arguments", link.arguments);
    put("Description", link.description);
    put("IconFile", link.iconFile);
    if (!link.iconFile.empty()) {
        g_key_file_set_integer(kf.get(), kLinkGroup, "IconIndex", link.iconIndex);
    }
    // Saved through a temporary and a rename: never half a link.
    return g_key_file_save_to_file(kf.get(), file.c_str(), nullptr);
}

void ShellOpen(const fs::path& file, std::string_view parameters, const fs::path& directory,
               int /*showCommand: windows open as their programs choose*/) {
    try {
        OpenResolved(file, SplitArguments(parameters), directory, 0);
    } catch (...) {
        // Opening is best effort: a failure simply has no effect.
    }
}

void CreateItemLink(const fs::path& target, const fs::path& folder) {
    const std::string name = target.filename().string();
    if (!ValidFileName(name)) {
        return;
    }
    LinkInfo link;
    link.target = target.string();
    link.workingDirectory = FolderPart(link.target);
    (void)WriteLinkFile(folder / (name + ".lnk"), link);
}

fs::path DesktopLinkPath(const std::string& name) {
    return DesktopFolder() / (name + ".desktop");
}

void CreateDesktopLink(const std::string& name, const fs::path& target,
                       const std::vector<std::string>& arguments, int iconIndex,
                       const std::string& iconFile) {
    if (!ValidFileName(name)) {
        return;
    }
    const fs::path file = DesktopLinkPath(name);
    std::error_code ec;
    fs::create_directories(file.parent_path(), ec);
    constexpr const char* group = G_KEY_FILE_DESKTOP_GROUP;
    KeyFile kf = NewApplicationEntry(name, name, ExecLine(target.string(), arguments));
    const std::string folder = FolderPart(target.string());
    if (!folder.empty()) {
        g_key_file_set_string(kf.get(), group, G_KEY_FILE_DESKTOP_KEY_PATH, folder.c_str());
    }
    if (!iconFile.empty()) {
        g_key_file_set_string(kf.get(), group, G_KEY_FILE_DESKTOP_KEY_ICON, iconFile.c_str());
        g_key_file_set_integer(kf.get(), group, "X-Korvane-IconIndex", iconIndex);
    }
    if (!g_key_file_save_to_file(kf.get(), file.c_str(), nullptr)) {
        return;
    }
    // Desktops run only entries that are executable, and some also ask for
    // the trusted mark before they launch one.
    fs::permissions(file, fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec,
                    fs::perm_options::add, ec);
    GObjectPtr<GFile> gfile(g_file_new_for_path(file.c_str()));
    (void)g_file_set_attribute_string(gfile.get(), "metadata::trusted", "true",
                                      G_FILE_QUERY_INFO_NONE, nullptr, nullptr);
}

std::string ReadLinkTarget(const fs::path& linkFile) {
    if (LowerExtension(linkFile) == ".desktop") {
        KeyFile kf = LoadKeyFile(linkFile);
        if (!kf) {
            return "";
        }
        const std::string exec =
            KeyString(kf.get(), G_KEY_FILE_DESKTOP_GROUP, G_KEY_FILE_DESKTOP_KEY_EXEC);
        const std::vector<std::string> argv = SplitArguments(exec);
        if (argv.empty()) {
            return "";
        }
        GString_ found(g_find_program_in_path(argv[0].c_str()));
        return found ? std::string(found.get()) : argv[0];
    }
    const auto link = ReadLinkFile(linkFile);
    return link ? link->target : std::string();
}

std::string ReadLinkIconLocation(const fs::path& linkFile) {
    if (LowerExtension(linkFile) == ".desktop") {
        KeyFile kf = LoadKeyFile(linkFile);
        return kf ? KeyString(kf.get(), G_KEY_FILE_DESKTOP_GROUP, G_KEY_FILE_DESKTOP_KEY_ICON)
                  : std::string();
    }
    const auto link = ReadLinkFile(linkFile);
    return link ? link->iconFile : std::string();
}

std::string VersionText(unsigned parts) {
    return JoinVersionParts({version::kMajor, version::kMinor, version::kRelease, version::kBuild},
                            parts);
}

fs::path DesktopFolder() {
    if (auto dir = UserDirsDesktop()) {
        return *dir;
    }
    return HomeFolder() / "Desktop";
}

fs::path AutostartFile() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const fs::path base = config && *config ? fs::path(config) : HomeFolder() / ".config";
    return base / "autostart" / "Korvane.desktop";
}

std::string ReadAutostartCommand() {
    KeyFile kf = LoadKeyFile(AutostartFile());
    return kf ? KeyString(kf.get(), G_KEY_FILE_DESKTOP_GROUP, G_KEY_FILE_DESKTOP_KEY_EXEC)
              : std::string();
}

bool WriteAutostartCommand(const std::string& command) {
    const fs::path file = AutostartFile();
    std::error_code ec;
    fs::create_directories(file.parent_path(), ec);
    KeyFile kf = NewApplicationEntry("Korvane", "Korvane startup menu", command);
    g_key_file_set_boolean(kf.get(), G_KEY_FILE_DESKTOP_GROUP, "X-GNOME-Autostart-enabled", TRUE);
    // Saved through a temporary and a rename, so a session never reads half an entry.
    return g_key_file_save_to_file(kf.get(), file.c_str(), nullptr);
}

void RemoveAutostart() {
    std::error_code ec;
    fs::remove(AutostartFile(), ec);
}

std::string AutostartCommandFor(const fs::path& exe) {
    return QuoteExecArgument(exe.string()) + " -startup";
}

fs::path ExecutablePath() {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path() : exe;
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

} // namespace korvane::shell

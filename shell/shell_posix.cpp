// The shell on freedesktop systems. Plain programs and links are started
// with nothing but the C library; desktop entries, documents and addresses
// go through the GIO module, loaded only when an item needs it.
#include "shell/child_exit_posix.h"
#include "shell/desktop_entry.h"
#include "shell/gio_module.h"
#include "shell/icon_source.h"
#include "shell/key_file.h"
#include "shell/link_file.h"
#include "shell/shell.h"
#include "shell/shell_words.h"
#include "shell/version.h"
#include "shell/version_parts.h"
#include "store/errors.h"
#include "store/file_io.h"
#include "store/utf8.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <pthread.h>
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

constexpr int kMaxLinkDepth = 8;

std::string KeyString(const KeyFile& kf, const char* group, const char* key) {
    return kf.Get(group, key).value_or("");
}

std::string LowerExtension(const fs::path& file) {
    std::string ext = file.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

std::vector<std::string> SplitArguments(std::string_view text) {
    return SplitShellWords(text).value_or(std::vector<std::string>{});
}

// Collects the exit of one started program as soon as it ends, so that a
// long-running editor leaves no zombies; only this child is waited for, so
// the children of anything else in the process (Qt, GLib) stay theirs.
void ReapWhenItEnds(pid_t pid) {
    pthread_attr_t attr;
    if (pthread_attr_init(&attr) != 0) {
        return;
    }
    pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    pthread_attr_setstacksize(&attr, 64 * 1024); // it only waits
    pthread_t thread;
    (void)pthread_create(
        &thread, &attr,
        [](void* arg) -> void* {
            const auto child = static_cast<pid_t>(reinterpret_cast<std::intptr_t>(arg));
            int status = 0;
            pid_t done = -1;
            while ((done = ::waitpid(child, &status, 0)) < 0 && errno == EINTR) {
            }
            if (done == child) {
                NoteChildExit(child, status); // for a wait that reports it
            }
            return nullptr;
        },
        reinterpret_cast<void*>(static_cast<std::intptr_t>(pid)));
    pthread_attr_destroy(&attr);
}

OpenResult Started(long long pid) {
    OpenResult result;
    result.started = true;
    result.processId = pid;
    return result;
}

OpenResult NotStarted(std::string why) {
    OpenResult result;
    result.failure = std::move(why);
    return result;
}

OpenResult FromGio(int ok, const KorvaneGioOutcome& outcome) {
    return ok ? Started(outcome.pid) : NotStarted(outcome.error);
}

constexpr const char* kNoGio = "the GIO module this needs could not be loaded";

OpenResult SpawnProgram(const fs::path& program, const std::vector<std::string>& args,
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
    int rc = posix_spawn(&pid, argv[0], &actions, &attr, argv.data(), environ);
    if (rc == ENOEXEC) {
        // An executable script without a "#!" line: the shell runs it, as
        // execvp and every shell do.
        static char shell[] = "/bin/sh";
        argv.insert(argv.begin(), shell);
        rc = posix_spawn(&pid, shell, &actions, &attr, argv.data(), environ);
    }
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        // A working folder that is gone fails here too, with its own reason.
        return NotStarted(std::generic_category().message(rc));
    }
    ReapWhenItEnds(pid);
    return Started(pid);
}

OpenResult OpenResolved(fs::path file, const std::vector<std::string>& args, const fs::path& dir,
                        int depth) {
    if (file.empty()) {
        return NotStarted("the link names no target");
    }
    if (depth > kMaxLinkDepth) {
        return NotStarted("too many links lead on to one another");
    }
    KorvaneGioOutcome outcome{};
    if (const std::string text = file.string(); text.find("://") != std::string::npos) {
        const KorvaneGio* gio = GioServices();
        return gio ? FromGio(gio->openUri(text.c_str(), &outcome), outcome) : NotStarted(kNoGio);
    }
    std::error_code ec;
    if (file.is_relative() && !dir.empty() && fs::exists(dir / file, ec)) {
        file = dir / file;
    } else if (!file.has_parent_path() && !fs::exists(file, ec)) {
        const auto found = FindProgramInPath(file.string());
        if (!found) {
            return NotStarted("no program named \"" + file.string() + "\" on the search path");
        }
        file = *found;
    }
    const std::string ext = LowerExtension(file);
    if (ext == ".lnk") {
        const auto link = ReadLinkFile(file);
        if (!link) {
            return NotStarted("\"" + file.string() + "\" is not a link this program can read");
        }
        const fs::path wd = link->workingDirectory.empty() ? dir : fs::path(link->workingDirectory);
        return OpenResolved(link->target, SplitArguments(link->arguments), wd, depth + 1);
    }
    if (ext == ".desktop") {
        const KorvaneGio* gio = GioServices();
        if (!gio) {
            return NotStarted(kNoGio);
        }
        std::vector<const char*> argv;
        for (const std::string& a : args) {
            argv.push_back(a.c_str());
        }
        return FromGio(gio->launchEntry(file.c_str(), argv.data(), static_cast<int>(argv.size()),
                                        dir.c_str(), &outcome),
                       outcome);
    }
    const auto status = fs::status(file, ec);
    if (ec) {
        return NotStarted("\"" + file.string() + "\": " + ec.message());
    }
    if (fs::is_regular_file(status) && ::access(file.c_str(), X_OK) == 0) {
        return SpawnProgram(file, args, dir);
    }
    const KorvaneGio* gio = GioServices();
    return gio ? FromGio(gio->openWithDefault(file.c_str(), dir.c_str(), &outcome), outcome)
               : NotStarted(kNoGio);
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

bool ValidFileName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string("/\0", 2)) == std::string::npos;
}

} // namespace

fs::path HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) {
        return home;
    }
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) {
        return pw->pw_dir;
    }
    return "/";
}

std::string FolderPart(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::optional<LinkInfo> ReadLinkFile(const fs::path& file) {
    const auto kf = KeyFile::Load(file);
    if (!kf || !kf->HasGroup(kLinkGroup)) {
        return std::nullopt;
    }
    LinkInfo link;
    link.target = GetPathValue(*kf, kLinkGroup, "Target");
    link.workingDirectory = GetPathValue(*kf, kLinkGroup, "WorkingDirectory");
    link.arguments = GetPathValue(*kf, kLinkGroup, "Arguments");
    link.description = KeyString(*kf, kLinkGroup, "Description");
    link.iconFile = GetPathValue(*kf, kLinkGroup, "IconFile");
    link.iconIndex = kf->GetInteger(kLinkGroup, "IconIndex").value_or(0);
    return link;
}

namespace {

KeyFile LinkKeyFile(const LinkInfo& link) {
    KeyFile kf = *KeyFile::Parse("");
    const auto put = [&](const char* key, const std::string& value) {
        if (!value.empty()) {
            SetPathValue(kf, kLinkGroup, key, value);
        }
    };
    put("Target", link.target);
    put("WorkingDirectory", link.workingDirectory);
    put("Arguments", link.arguments);
    put("Description", link.description);
    put("IconFile", link.iconFile);
    if (!link.iconFile.empty()) {
        kf.Set(kLinkGroup, "IconIndex", std::to_string(link.iconIndex));
    }
    return kf;
}

} // namespace

bool WriteLinkFile(const fs::path& file, const LinkInfo& link) {
    // Saved through a temporary and a rename: never half a link.
    return LinkKeyFile(link).Save(file);
}

OpenResult ShellOpen(const fs::path& file, std::string_view parameters, const fs::path& directory) {
    try {
        return OpenResolved(file, SplitArguments(parameters), directory, 0);
    } catch (const std::exception& error) {
        return NotStarted(error.what());
    } catch (...) {
        return NotStarted("the launch failed");
    }
}

bool StartDetached(const fs::path& program, const std::vector<std::string>& arguments) {
    return SpawnProgram(program, arguments, "").started;
}

bool CreateCommandLink(const std::string& name, const std::string& command,
                       const fs::path& folder) {
    const auto words = SplitShellWords(command);
    if (!ValidFileName(name) || !words || words->empty()) {
        return false;
    }
    LinkInfo link;
    link.target = words->front();
    link.workingDirectory = FolderPart(link.target);
    for (std::size_t i = 1; i < words->size(); ++i) {
        // Each word in single quotes, read back as it was.
        std::string quoted = "'";
        for (const char c : (*words)[i]) {
            quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
        }
        link.arguments += (i > 1 ? " " : "") + quoted + "'";
    }
    return WriteLinkFile(folder / (name + ".lnk"), link);
}

void CreateItemLink(const fs::path& target, const fs::path& folder) {
    const std::string name = target.filename().string();
    if (!ValidFileName(name)) {
        throw Error("\"" + utf8::FromPath(target) + "\" names no file to link to");
    }
    LinkInfo link;
    link.target = target.string();
    link.workingDirectory = FolderPart(link.target);
    try {
        LinkKeyFile(link).Write(folder / (name + ".lnk"));
    } catch (const FileError& error) {
        throw Error("Cannot make a link to " + utf8::FromPath(target) + ": " + error.what());
    }
}

bool IsProgramFile(const fs::path& file) {
    std::error_code ec;
    return fs::is_regular_file(file, ec) && ::access(file.c_str(), X_OK) == 0;
}

std::string VersionText(unsigned parts) {
    return JoinVersionParts({version::kMajor, version::kMinor, version::kRelease, version::kBuild},
                            parts);
}

const char* const kAutostartCaption = "Show menu at logon";

const char* const kProgramFileFilters =
    "Applications (*.desktop *.lnk);;Programs (*.AppImage *.appimage *.sh *.py *.pl *.run *.bin);;"
    "All files (*)";

const char* const kIconFileFilters =
    "All files (*.ico *.png *.svg *.xpm *.desktop *.lnk);;Every file (*)";

fs::path ProgramBrowseFolder() {
    return HomeFolder();
}

fs::path DefaultStartFolder(const fs::path& /*itemFolder*/) {
    return HomeFolder();
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
    const auto kf = KeyFile::Load(AutostartFile());
    return kf ? KeyString(*kf, kDesktopGroup, "Exec") : std::string();
}

bool WriteAutostartCommand(const std::string& command) {
    const fs::path file = AutostartFile();
    std::error_code ec;
    fs::create_directories(file.parent_path(), ec);
    KeyFile kf = NewApplicationEntry("Korvane", "Korvane startup menu", command);
    // A session whose Korvane was removed skips the entry instead of logging
    // a failed start at every logon.
    if (const auto words = SplitShellWords(command); words && !words->empty()) {
        std::string program = words->front();
        for (std::size_t at = program.find("%%"); at != std::string::npos;
             at = program.find("%%", at + 1)) {
            program.erase(at, 1); // the Exec line's escape of "%"
        }
        kf.Set(kDesktopGroup, "TryExec", program);
    }
    kf.Set(kDesktopGroup, "Icon", ProgramIconName());
    kf.Set(kDesktopGroup, "X-GNOME-Autostart-enabled", "true");
    // Saved through a temporary and a rename, so a session never reads half an entry.
    return kf.Save(file);
}

bool RemoveAutostart() {
    try {
        RemoveEntry(AutostartFile());
        return true;
    } catch (const FileError&) {
        return false;
    }
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

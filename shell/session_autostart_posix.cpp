// XDG autostart: $XDG_CONFIG_HOME/autostart (the user's own entries) over
// the autostart folders of $XDG_CONFIG_DIRS (every user's).
#include "shell/session_autostart.h"

#include "shell/desktop_entry.h"
#include "shell/key_file.h"
#include "shell/shell.h"
#include "shell/shell_words.h"
#include "store/errors.h"
#include "store/file_io.h"
#include "store/utf8.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <optional>
#include <sstream>
#include <system_error>

namespace fs = std::filesystem;

namespace korvane::shell {

namespace {

constexpr const char* kGroup = "Desktop Entry";
// What keep holds for each taken entry, beside a copy of its bytes.
constexpr const char* kOwnSuffix = ".original";    // the user's entry as it was
constexpr const char* kWrittenSuffix = ".written"; // what this program wrote over it
constexpr const char* kAddedSuffix = ".added";     // the entry this program added

fs::path UserAutostart() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    return (config && *config ? fs::path(config) : HomeFolder() / ".config") / "autostart";
}

std::vector<fs::path> SystemAutostarts() {
    const char* dirs = std::getenv("XDG_CONFIG_DIRS");
    std::string list = dirs && *dirs ? dirs : "/etc/xdg";
    std::vector<fs::path> folders;
    std::size_t start = 0;
    while (start <= list.size()) {
        const std::size_t colon = std::min(list.find(':', start), list.size());
        if (colon > start) {
            folders.push_back(fs::path(list.substr(start, colon - start)) / "autostart");
        }
        start = colon + 1;
    }
    return folders;
}

std::vector<std::string> SplitList(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::stringstream in(text);
    for (std::string part; std::getline(in, part, separator);) {
        if (!part.empty()) {
            parts.push_back(part);
        }
    }
    return parts;
}

bool IsTrue(const KeyFile& kf, const char* key) {
    return kf.Get(kGroup, key).value_or("") == "true";
}

// Whether the session starts this entry: the rules every XDG session applies.
bool SessionStartsIt(const KeyFile& kf) {
    if (IsTrue(kf, "Hidden") || kf.Get(kGroup, "X-GNOME-Autostart-enabled") == "false") {
        return false;
    }
    const char* current = std::getenv("XDG_CURRENT_DESKTOP");
    const std::vector<std::string> desktops = SplitList(current ? current : "", ':');
    const auto anyOf = [&](const char* key) {
        const std::vector<std::string> listed = SplitList(kf.Get(kGroup, key).value_or(""), ';');
        return std::any_of(desktops.begin(), desktops.end(), [&](const std::string& d) {
            return std::find(listed.begin(), listed.end(), d) != listed.end();
        });
    };
    if (kf.Get(kGroup, "OnlyShowIn") && !anyOf("OnlyShowIn")) {
        return false;
    }
    if (kf.Get(kGroup, "NotShowIn") && anyOf("NotShowIn")) {
        return false;
    }
    if (const auto tryExec = kf.Get(kGroup, "TryExec"); tryExec && !tryExec->empty()) {
        if (!FindProgramInPath(*tryExec)) {
            return false; // the program is not installed
        }
    }
    return true;
}

// nullopt for no file; throws Error for one that cannot be read, so that
// nothing is ever written over what could not be kept or compared first.
std::optional<std::string> ReadIfThere(const fs::path& file) {
    try {
        const auto snapshot = ReadFileSnapshot(file);
        return snapshot ? std::optional<std::string>(snapshot->bytes) : std::nullopt;
    } catch (const std::exception& error) {
        throw Error("Unable to read " + utf8::FromPath(file) + ": " + error.what());
    }
}

std::string ReadBytes(const fs::path& file) {
    return ReadIfThere(file).value_or(std::string());
}

// The user's entry switched off: what taking writes over it. Giving back
// recomputes it for what older versions kept, which holds no copy of it.
std::optional<std::string> SwitchedOff(const std::string& entry) {
    auto kf = KeyFile::Parse(entry);
    if (!kf) {
        return std::nullopt;
    }
    kf->Set(kGroup, "Hidden", "true");
    return kf->Serialize();
}

void Keep(const fs::path& keep, const std::string& name, const std::string& bytes) {
    std::error_code ec;
    fs::create_directories(keep, ec);
    try {
        ReplaceFileLocked(keep / name, bytes);
    } catch (const std::exception& error) {
        throw Error("Cannot keep what giving back needs in " + utf8::FromPath(keep) + ": " +
                    error.what());
    }
}

} // namespace

std::vector<SessionStart> ListSessionStarts() {
    // The user's entry of a name hides every other of that name, then the
    // first folder of XDG_CONFIG_DIRS wins.
    std::map<std::string, std::pair<fs::path, bool>> found;
    std::vector<std::pair<fs::path, bool>> folders{{UserAutostart(), false}};
    for (const fs::path& f : SystemAutostarts()) {
        folders.emplace_back(f, true);
    }
    for (const auto& [folder, system] : folders) {
        std::error_code ec;
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
            const std::string name = utf8::FromPath(it->path().filename());
            if (it->path().extension() == ".desktop" && !found.contains(name)) {
                found.emplace(name, std::make_pair(it->path(), system));
            }
        }
    }
    const std::string own = utf8::FromPath(AutostartFile().filename());
    std::vector<SessionStart> starts;
    const std::vector<std::string> locales = MessageLocales();
    for (const auto& [id, where] : found) {
        const auto kf = KeyFile::Load(where.first);
        if (id == own || !kf || !kf->HasGroup(kGroup) || !SessionStartsIt(*kf)) {
            continue;
        }
        SessionStart start;
        start.id = id;
        start.name = LocalizedString(*kf, kGroup, "Name", locales).value_or("");
        if (start.name.empty()) {
            start.name = utf8::DisplayFileName(utf8::FromPath(where.first.stem()));
        }
        start.detail = kf->Get(kGroup, "Exec").value_or("") + "\n" + utf8::FromPath(where.first);
        start.file = where.first;
        start.system = where.second;
        starts.push_back(std::move(start));
    }
    std::stable_sort(starts.begin(), starts.end(),
                     [](const SessionStart& a, const SessionStart& b) {
                         return utf8::FoldCase(a.name) < utf8::FoldCase(b.name);
                     });
    return starts;
}

void TakeFromSession(const SessionStart& entry, const fs::path& keep) {
    const fs::path user = UserAutostart() / utf8::ToPath(entry.id);
    std::error_code ec;
    if (fs::exists(user, ec)) {
        // The user's own entry: kept as it is, then marked hidden in place.
        const std::string before = ReadBytes(user);
        const std::optional<std::string> hidden = SwitchedOff(before);
        if (!hidden) {
            throw Error(utf8::FromPath(user) + " is not a desktop entry this program can edit");
        }
        const fs::perms mode = fs::status(user, ec).permissions();
        const fs::path own = keep / utf8::ToPath(entry.id + kOwnSuffix);
        const fs::path written = keep / utf8::ToPath(entry.id + kWrittenSuffix);
        // What is about to be written is kept first: the entry counts as
        // taken once its original is kept too.
        Keep(keep, entry.id + kWrittenSuffix, *hidden);
        try {
            Keep(keep, entry.id + kOwnSuffix, before);
        } catch (...) {
            fs::remove(written, ec);
            throw;
        }
        fs::permissions(own, mode, ec);
        try {
            ReplaceFileLocked(user, *hidden);
        } catch (const std::exception&) {
            fs::remove(own, ec);
            fs::remove(written, ec);
            throw Error("Unable to write to " + utf8::FromPath(user));
        }
        fs::permissions(user, mode, ec);
        return;
    }
    // Every user's entry: hidden for this user by an entry of the same name.
    KeyFile hide = *KeyFile::Parse("");
    hide.Set(kGroup, "Type", "Application");
    hide.Set(kGroup, "Name", entry.name);
    hide.Set(kGroup, "Comment", "Started by a Korvane batch instead; Korvane can give it back");
    hide.Set(kGroup, "Hidden", "true");
    const std::string bytes = hide.Serialize();
    Keep(keep, entry.id + kAddedSuffix, bytes);
    fs::create_directories(user.parent_path(), ec);
    if (!hide.Save(user)) {
        fs::remove(keep / utf8::ToPath(entry.id + kAddedSuffix), ec);
        throw Error("Unable to write to " + utf8::FromPath(user));
    }
}

std::vector<TakenStart> ListTaken(const fs::path& keep) {
    std::vector<TakenStart> taken;
    std::error_code ec;
    for (fs::directory_iterator it(keep, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string file = utf8::FromPath(it->path().filename());
        for (const std::string suffix : {kOwnSuffix, kAddedSuffix}) {
            if (file.size() > suffix.size() && file.ends_with(suffix)) {
                TakenStart t;
                t.id = file.substr(0, file.size() - suffix.size());
                const auto kf = KeyFile::Load(it->path());
                t.name = kf ? LocalizedString(*kf, kGroup, "Name", MessageLocales()).value_or("")
                            : std::string();
                if (t.name.empty()) {
                    t.name = utf8::DisplayFileName(t.id);
                }
                taken.push_back(std::move(t));
            }
        }
    }
    std::sort(taken.begin(), taken.end(),
              [](const TakenStart& a, const TakenStart& b) { return a.id < b.id; });
    return taken;
}

void GiveBackToSession(const std::string& id, const fs::path& keep) {
    const fs::path user = UserAutostart() / utf8::ToPath(id);
    const fs::path own = keep / utf8::ToPath(id + kOwnSuffix);
    const fs::path written = keep / utf8::ToPath(id + kWrittenSuffix);
    const fs::path added = keep / utf8::ToPath(id + kAddedSuffix);
    std::error_code ec;
    if (fs::exists(own, ec)) {
        const std::string original = ReadBytes(own);
        // Held from the comparison to the rewrite: another Korvane giving
        // the same entry back, or taking it again, waits.
        const FolderLock lock(user.parent_path());
        const std::optional<std::string> now = ReadIfThere(user);
        const std::string shown = utf8::FromPath(user);
        if (!now) {
            throw Error(shown +
                        " was deleted since Korvane switched it off, and giving it back "
                        "would bring back an entry that was removed; nothing was "
                        "changed. To have the session start it again, copy " +
                        utf8::FromPath(own) + " to " + shown + ".");
        }
        // Written by this version, or by an older one that kept no copy.
        const std::optional<std::string> wrote = ReadIfThere(written);
        const bool asTaken = (wrote && *now == *wrote) || *now == SwitchedOff(original);
        if (!asTaken && *now != original) {
            throw Error(shown +
                        " was changed since Korvane switched it off, and giving it back "
                        "would overwrite that change; nothing was changed. To have the "
                        "session start it again, delete its line Hidden=true (the entry "
                        "as it was is kept in " +
                        utf8::FromPath(own) + ").");
        }
        if (asTaken) {
            try {
                ReplaceFileAtomically(user, original);
            } catch (const std::exception& error) {
                throw Error("Unable to write to " + shown + ": " + error.what());
            }
        }
        fs::permissions(user, fs::status(own, ec).permissions(), ec); // as it was, too
        fs::remove(own, ec);
        fs::remove(written, ec);
        return;
    }
    if (!fs::exists(added, ec)) {
        throw Error("\"" + id + "\" was not taken from the session's autostart");
    }
    if (fs::exists(user, ec) && ReadBytes(user) != ReadBytes(added)) {
        throw Error(utf8::FromPath(user) +
                    " was changed since it was taken; remove it to give the entry back");
    }
    fs::remove(user, ec);
    if (ec) {
        throw Error("Cannot remove " + utf8::FromPath(user) + ": " + ec.message());
    }
    fs::remove(added, ec);
}

} // namespace korvane::shell

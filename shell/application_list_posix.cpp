// The applications menu of the freedesktop desktops: desktop entries found
// through the XDG base directories, filtered as menus filter them.
#include "shell/application_list.h"

#include "shell/desktop_entry.h"
#include "shell/key_file.h"
#include "shell/link_file.h"
#include "shell/shell_words.h"
#include "store/utf8.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>
#include <system_error>

namespace fs = std::filesystem;

namespace korvane::shell {

namespace {

// Entries larger than this are no menu entries; they are not read.
constexpr std::uintmax_t kMaxEntrySize = 1 << 20;

std::string_view Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// The data folders, most important first, each once.
std::vector<fs::path> DataFolders() {
    std::vector<fs::path> folders;
    const auto add = [&](const fs::path& folder) {
        if (folder.is_absolute() &&
            std::find(folders.begin(), folders.end(), folder) == folders.end()) {
            folders.push_back(folder);
        }
    };
    const std::string_view dataHome = Env("XDG_DATA_HOME");
    add(dataHome.empty() ? HomeFolder() / ".local" / "share" : fs::path(dataHome));
    std::vector<std::string> dirs = SplitList(Env("XDG_DATA_DIRS"), ':');
    if (dirs.empty()) {
        dirs = {"/usr/local/share", "/usr/share"};
    }
    for (const std::string& dir : dirs) {
        add(fs::path(dir));
    }
    // Flatpak and Snap put their exports there; sessions that were not set
    // up by their packages do not name them.
    add(HomeFolder() / ".local" / "share" / "flatpak" / "exports" / "share");
    add("/var/lib/flatpak/exports/share");
    add("/var/lib/snapd/desktop");
    return folders;
}

bool ListHas(const KeyFile& kf, const char* key, const std::vector<std::string>& wanted) {
    const auto value = kf.Get(kDesktopGroup, key);
    if (!value) {
        return false;
    }
    for (const std::string& item : SplitList(*value, ';')) {
        if (std::find(wanted.begin(), wanted.end(), item) != wanted.end()) {
            return true;
        }
    }
    return false;
}

bool IsTrue(const KeyFile& kf, const char* key) {
    return kf.Get(kDesktopGroup, key).value_or("") == "true";
}

// Whether a menu shows the entry in this desktop. Hidden entries still take
// their id, so that a user's hidden copy hides the system's entry.
bool Shown(const KeyFile& kf, const std::vector<std::string>& desktops) {
    if (IsTrue(kf, "Hidden") || IsTrue(kf, "NoDisplay")) {
        return false;
    }
    if (kf.Get(kDesktopGroup, "Type").value_or("") != "Application") {
        return false;
    }
    if (kf.Get(kDesktopGroup, "OnlyShowIn") && !ListHas(kf, "OnlyShowIn", desktops)) {
        return false;
    }
    if (ListHas(kf, "NotShowIn", desktops)) {
        return false;
    }
    if (const auto tryExec = kf.Get(kDesktopGroup, "TryExec"); tryExec && !tryExec->empty()) {
        return FindProgramInPath(*tryExec).has_value();
    }
    return true;
}

std::string Localized(const KeyFile& kf, const char* key, const std::vector<std::string>& locales) {
    return LocalizedString(kf, kDesktopGroup, key, locales).value_or("");
}

// Every *.desktop file under an applications folder, by its desktop file id
// (the path below the folder with "/" turned into "-").
void Collect(const fs::path& applications, std::map<std::string, fs::path>& found) {
    std::error_code ec;
    fs::recursive_directory_iterator it(applications, fs::directory_options::skip_permission_denied,
                                        ec);
    for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        const fs::path& file = it->path();
        if (file.extension() != ".desktop" || !it->is_regular_file(ec)) {
            continue;
        }
        std::string id = utf8::FromPath(file.lexically_relative(applications));
        std::replace(id.begin(), id.end(), '/', '-');
        found.try_emplace(id, file);
    }
}

} // namespace

std::vector<std::string> CurrentDesktops() {
    return SplitList(Env("XDG_CURRENT_DESKTOP"), ':');
}

std::vector<InstalledApplication> ListInstalledApplications() {
    return ListInstalledApplications(CurrentDesktops());
}

std::vector<InstalledApplication>
ListInstalledApplications(const std::vector<std::string>& currentDesktops) {
    std::map<std::string, fs::path> byId;
    std::set<std::string> seen;
    std::vector<InstalledApplication> apps;
    const std::vector<std::string> locales = MessageLocales();
    for (const fs::path& folder : DataFolders()) {
        std::map<std::string, fs::path> here;
        Collect(folder / "applications", here);
        for (const auto& [id, file] : here) {
            if (!seen.insert(id).second) {
                continue; // a folder before this one has the entry of this id
            }
            std::error_code ec;
            if (fs::file_size(file, ec) > kMaxEntrySize || ec) {
                continue;
            }
            const auto kf = KeyFile::Load(file);
            if (!kf || !kf->HasGroup(kDesktopGroup) || !Shown(*kf, currentDesktops)) {
                continue;
            }
            InstalledApplication app;
            app.id = id;
            app.file = file;
            app.name = Localized(*kf, "Name", locales);
            if (app.name.empty()) {
                continue; // a menu cannot show it
            }
            app.genericName = Localized(*kf, "GenericName", locales);
            app.comment = Localized(*kf, "Comment", locales);
            app.keywords = Localized(*kf, "Keywords", locales);
            app.icon = kf->Get(kDesktopGroup, "Icon").value_or("");
            apps.push_back(std::move(app));
        }
    }
    std::stable_sort(apps.begin(), apps.end(),
                     [](const InstalledApplication& a, const InstalledApplication& b) {
                         return utf8::FoldCase(a.name) < utf8::FoldCase(b.name);
                     });
    return apps;
}

} // namespace korvane::shell

#include "store/sweep.h"

#include "store/catalogue_edit.h"
#include "store/file_io.h"
#include "store/utf8.h"

#include <algorithm>
#include <chrono>
#include <map>
#include <set>
#include <string>

namespace fs = std::filesystem;

namespace korvane {

namespace {

// An empty report still being begun by a launch is no leftover.
constexpr auto kReportAge = std::chrono::minutes(1);

// The names Korvane gives batch and item folders: numbers.
bool NumberName(const fs::path& name) {
    const std::string text = utf8::FromPath(name);
    return !text.empty() && text.size() <= 10 &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A temporary a writer killed before its rename left: ".<name>.tmp-<pid>-<n>".
bool Temporary(const std::string& name) {
    return name.size() > 1 && name.front() == '.' && name.find(".tmp-") != std::string::npos;
}

// What an item folder holds, when it is only what Korvane puts there:
// nothing, or one link file (and temporaries of writing it).
std::optional<std::vector<fs::path>> KorvaneMadeItem(const fs::path& folder) {
    std::vector<FolderEntry> entries;
    try {
        entries = ListFolder(folder);
    } catch (const FileError&) {
        return std::nullopt;
    }
    std::vector<fs::path> inside;
    int links = 0;
    for (const FolderEntry& entry : entries) {
        const std::string name = utf8::FromPath(entry.name);
        if (entry.kind != EntryKind::File) {
            return std::nullopt;
        }
        if (Temporary(name)) {
            inside.push_back(folder / entry.name);
        } else if (IsLinkFile(entry.name) && ++links == 1) {
            inside.push_back(folder / entry.name);
        } else {
            return std::nullopt; // the user's own file, or a second one
        }
    }
    return inside;
}

// The item folders (by name) each batch folder's entries name.
std::map<std::string, std::set<std::string>> NamedFolders(const TIniFile& catalogue) {
    std::map<std::string, std::set<std::string>> named;
    const TIniFile::HeldVersion oneVersion(catalogue);
    for (const std::string& batch : catalogue.AllSections()) {
        auto& folders = named[catalogue.ReadText(batch, "ID", "")];
        tqAppInfo item;
        for (int n = 0;; ++n) {
            const std::string entry = catalogue.ReadText(batch, ItemKey(n), "");
            if (entry.empty()) {
                break;
            }
            try {
                DecodeItemEntry(entry, item);
            } catch (const ConvertError&) {
                continue;
            }
            if (item.Kind != TItemKind::ikFile) {
                continue;
            }
            // The first step of the entry's folder, as ItemFolder reads it.
            const std::string field = item.Folder.substr(0, item.Folder.find_first_of("\\/"));
            if (ItemFolder("batch", item.Folder)) {
                folders.insert(field);
            }
        }
    }
    return named;
}

void AddReports(const ProgramFiles& files, std::vector<fs::path>& leftovers) {
    const fs::path reports = files.folder / "Reports";
    std::vector<FolderEntry> entries;
    try {
        entries = ListFolder(reports);
    } catch (const FileError&) {
        return;
    }
    const auto now = fs::file_time_type::clock::now();
    for (const FolderEntry& entry : entries) {
        const std::string name = utf8::FromPath(entry.name);
        if (entry.kind != EntryKind::File || !name.ends_with(".txt") || name.size() < 24 ||
            !std::isdigit(static_cast<unsigned char>(name.front()))) {
            continue;
        }
        const fs::path file = reports / entry.name;
        std::error_code ec;
        const auto identity = IdentifyFile(file);
        const auto written = fs::last_write_time(file, ec);
        if (identity && identity->size == 0 && !ec && now - written > kReportAge) {
            leftovers.push_back(file);
        }
    }
}

} // namespace

std::vector<fs::path> FindLeftovers(const ProgramFiles& files) {
    std::vector<fs::path> leftovers;
    const auto named = NamedFolders(files.catalogue);
    const fs::path shortcuts = files.folder / "Shortcuts";
    std::vector<FolderEntry> batches;
    try {
        batches = ListFolder(shortcuts);
    } catch (const FileError&) {
        batches.clear(); // a link or no folder: nothing of it is the sweep's
    }
    for (const FolderEntry& batch : batches) {
        if (batch.kind != EntryKind::Folder || !NumberName(batch.name)) {
            continue;
        }
        const fs::path folder = shortcuts / batch.name;
        const auto known = named.find(utf8::FromPath(batch.name));
        std::vector<FolderEntry> items;
        try {
            items = ListFolder(folder);
        } catch (const FileError&) {
            continue;
        }
        std::vector<fs::path> gone;
        bool whole = known == named.end(); // the whole batch folder goes, if all in it may
        for (const FolderEntry& item : items) {
            const bool isNamed = known != named.end() &&
                                 known->second.count(utf8::FromPath(item.name)) != 0;
            const auto inside = item.kind == EntryKind::Folder && NumberName(item.name) && !isNamed
                                    ? KorvaneMadeItem(folder / item.name)
                                    : std::nullopt;
            if (!inside) {
                whole = false;
                continue;
            }
            gone.insert(gone.end(), inside->begin(), inside->end());
            gone.push_back(folder / item.name);
        }
        leftovers.insert(leftovers.end(), gone.begin(), gone.end());
        if (whole) {
            leftovers.push_back(folder);
        }
    }
    AddReports(files, leftovers);
    return leftovers;
}

std::size_t SweepLeftovers(const ProgramFiles& files) {
    const FolderLock lock(files.folder, FolderLock::Wait::No);
    if (!lock.Held()) {
        return 0; // another Korvane is writing: its folders may be on their way
    }
    std::size_t removed = 0;
    for (const fs::path& leftover : FindLeftovers(files)) {
        try {
            removed += RemoveEntry(leftover) ? 1 : 0;
        } catch (const FileError&) {
        }
    }
    return removed;
}

} // namespace korvane

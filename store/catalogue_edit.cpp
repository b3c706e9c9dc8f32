#include "store/catalogue_edit.h"

#include "store/clock_time.h"
#include "store/errors.h"
#include "store/ini_document.h"
#include "store/item_wait.h"
#include "store/utf8.h"

#include <algorithm>
#include <set>
#include <system_error>

namespace fs = std::filesystem;

namespace korvane {

namespace {

std::string LowerExtension(const fs::path& file) {
    std::string ext = utf8::FromPath(file.extension());
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

// The link file the program put into an item folder: the greatest-named
// link file, or the folder's only entry. A file the user added beside it is
// never taken for it.
fs::path ProgramLinkFile(const fs::path& folder) {
    std::error_code ec;
    fs::path link, only;
    int entries = 0;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        ++entries;
        only = it->path();
        if (IsLinkFile(it->path()) && it->is_regular_file(ec) &&
            (link.empty() || utf8::FoldCase(utf8::FromPath(it->path().filename())) >
                                 utf8::FoldCase(utf8::FromPath(link.filename())))) {
            link = it->path();
        }
    }
    return !link.empty() ? link : entries == 1 && fs::is_regular_file(only, ec) ? only : fs::path();
}

// Removes an item's link file and then its folder, when the folder holds
// nothing else.
void RemoveItemFiles(const fs::path& batchFolder, const tqAppInfo& item) {
    const auto folder = ItemFolder(batchFolder, item.Folder);
    if (!folder || item.Folder.empty()) {
        return; // never the batch folder itself
    }
    std::error_code ec;
    if (const fs::path file = ProgramLinkFile(*folder); !file.empty()) {
        fs::remove(file, ec);
    }
    fs::remove(*folder, ec); // only an empty folder goes
}

// The batch's section must exist, and for its files it needs an ID: an item
// folder of a batch without one would lie in no batch's folder.
void RequireBatch(const ProgramFiles& files, const std::string& batch, bool needsId) {
    if (!BatchExists(files.catalogue, batch)) {
        throw NoSuchBatch(batch);
    }
    const std::string id = files.catalogue.ReadText(batch, "ID", "");
    if (needsId && id.empty()) {
        throw Error("The batch \"" + batch + "\" has no ID in " +
                    utf8::FromPath(files.catalogue.FileName()) +
                    ", so its applications have no folder.");
    }
}

// One rewrite of the batch's section, refused when it no longer exists.
void EditBatch(ProgramFiles& files, const std::string& batch,
               const std::vector<std::pair<std::string, std::string>>& pairs,
               const std::vector<std::string>& removed = {}) {
    if (!files.catalogue.EditSection(batch, pairs, removed)) {
        throw NoSuchBatch(batch);
    }
}

} // namespace

Error NoSuchBatch(const std::string& batch) {
    return Error("There is no batch named \"" + batch +
                 "\" any more: another program renamed or deleted it.");
}

bool IsLinkFile(const fs::path& file) {
    const std::string ext = LowerExtension(file);
    return ext == ".lnk" || ext == ".pif" || ext == ".desktop";
}

std::string NewBatchName(const std::vector<std::string>& captions) {
    std::set<std::string> taken;
    for (const auto& c : captions) {
        taken.insert(utf8::FoldCase(c));
    }
    std::string name = "New batch";
    while (taken.count(utf8::FoldCase(name))) {
        name = "Copy " + name;
    }
    return name;
}

int CreateBatch(ProgramFiles& files, const std::string& name, std::mt19937& random) {
    std::set<std::string> ids;
    for (const auto& section : files.catalogue.AllSections()) {
        ids.insert(files.catalogue.ReadText(section, "ID", ""));
    }
    std::uniform_int_distribution<int> draw(0, 9999);
    int id = draw(random);
    // Drawn again until free, so that no two batches share a folder.
    for (int tries = 0; ids.count(std::to_string(id)) && tries < 100000; ++tries) {
        id = draw(random);
    }
    files.catalogue.WriteText(name, "ID", std::to_string(id));
    std::error_code ec;
    fs::create_directories(files.folder / "Shortcuts" / std::to_string(id), ec);
    return id;
}

std::string RenameBatch(ProgramFiles& files, const std::string& oldName,
                        const std::string& newName) {
    const std::string name(IniDocument::TrimName(newName));
    if (name.empty()) {
        throw Error("A batch needs a name");
    }
    const auto taken = [&](const std::string& section) {
        return Error("There is already a batch named \"" + section + "\"");
    };
    if (!utf8::EqualFolded(IniDocument::TrimName(oldName), name)) {
        for (const auto& section : files.catalogue.AllSections()) {
            if (utf8::EqualFolded(section, name)) {
                throw taken(section);
            }
        }
    }
    switch (files.catalogue.RenameSection(oldName, name)) {
    case TIniFile::RenameResult::NameTaken:
        throw taken(name); // another process took the name a moment ago
    case TIniFile::RenameResult::NoSection:
        throw NoSuchBatch(oldName);
    default:
        break;
    }
    // What runs at logon follows the batch to its new name.
    const std::string defaultBatch = files.settings.ReadText(kSettingsSection, "DefaultBatch", "");
    if (!defaultBatch.empty() &&
        utf8::EqualFolded(IniDocument::TrimName(defaultBatch), IniDocument::TrimName(oldName))) {
        files.settings.WriteText(kSettingsSection, "DefaultBatch", name);
    }
    return name;
}

int ItemCount(const TIniFile& catalogue, const std::string& batch) {
    int n = 0;
    while (!catalogue.ReadText(batch, ItemKey(n), "").empty()) {
        ++n;
    }
    return n;
}

void DeleteBatch(ProgramFiles& files, const std::string& name) {
    const fs::path batchFolder = BatchFolder(files, name);
    const bool hasId = !files.catalogue.ReadText(name, "ID", "").empty();
    std::vector<tqAppInfo> applications;
    tqAppInfo item;
    const int count = ItemCount(files.catalogue, name);
    for (int n = 0; n < count; ++n) {
        try {
            DecodeItemEntry(files.catalogue.ReadText(name, ItemKey(n), ""), item);
        } catch (const ConvertError&) {
            continue; // a broken pause holds no files
        }
        if (item.Kind == TItemKind::ikFile) {
            applications.push_back(item);
        }
    }
    // The catalogue first: when it cannot be written, every file stays.
    if (!files.catalogue.RemoveSection(name)) {
        throw NoSuchBatch(name);
    }
    files.catalogue.Flush();
    if (!hasId) {
        return; // its "folder" would be the whole Shortcuts tree
    }
    for (const tqAppInfo& application : applications) {
        RemoveItemFiles(batchFolder, application);
    }
    std::error_code ec;
    fs::remove(batchFolder, ec);
}

std::string AddApplicationItem(ProgramFiles& files, const std::string& batch,
                               const fs::path& source, std::mt19937& random,
                               const LinkMaker& makeLink) {
    RequireBatch(files, batch, true);
    const fs::path batchFolder = BatchFolder(files, batch);
    // Drawn again until the folder is free, so that no two items share one.
    std::uniform_int_distribution<int> draw(0, 999);
    int n = draw(random);
    std::error_code ec;
    for (int tries = 0; fs::exists(batchFolder / std::to_string(n), ec) && tries < 10000; ++tries) {
        n = draw(random);
    }
    const fs::path folder = batchFolder / std::to_string(n);
    fs::create_directories(folder, ec);
    if (IsLinkFile(source)) {
        fs::copy_file(source, folder / source.filename(), fs::copy_options::overwrite_existing, ec);
        if (ec) {
            fs::remove(folder, ec);
            throw Error("Cannot copy " + utf8::FromPath(source) + ": " + ec.message());
        }
    } else {
        try {
            makeLink(source, folder);
        } catch (...) {
            fs::remove_all(folder, ec); // no entry will name it
            throw;
        }
    }
    const std::string field = std::to_string(n) + "\\";
    try {
        // A wait left behind by an item that once had this folder is not the new one's.
        EditBatch(files, batch,
                  {{ItemKey(ItemCount(files.catalogue, batch)), "File;" + field + ";Active"}},
                  {WaitKey(field)});
    } catch (...) {
        // No entry names the new folder: it goes again.
        fs::remove_all(folder, ec);
        throw;
    }
    return field;
}

void AddPauseItem(ProgramFiles& files, const std::string& batch, double length) {
    EditBatch(files, batch,
              {{ItemKey(ItemCount(files.catalogue, batch)),
                "Interval;" + FormatClockTime(length) + ";Active"}});
}

void DeleteItem(ProgramFiles& files, const std::string& batch, int index) {
    const int count = ItemCount(files.catalogue, batch);
    if (index < 0 || index >= count) {
        return;
    }
    tqAppInfo item;
    try {
        DecodeItemEntry(files.catalogue.ReadText(batch, ItemKey(index), ""), item);
    } catch (const ConvertError&) {
        item.Kind = TItemKind::ikUnknown; // a broken pause can still be removed
    }
    std::vector<std::pair<std::string, std::string>> shifted;
    bool folderShared = false; // two entries naming one folder: a hand-edited catalogue
    for (int k = 0; k < count; ++k) {
        const std::string other = files.catalogue.ReadText(batch, ItemKey(k), "");
        if (k > index) {
            shifted.emplace_back(ItemKey(k - 1), other);
        }
        tqAppInfo decoded;
        if (k != index && item.Kind == TItemKind::ikFile && other.starts_with("File;")) {
            DecodeItemEntry(other, decoded);
            folderShared = folderShared || WaitKey(decoded.Folder) == WaitKey(item.Folder);
        }
    }
    std::vector<std::string> removed{ItemKey(count - 1)};
    if (item.Kind == TItemKind::ikFile && !folderShared && !WaitKey(item.Folder).empty()) {
        removed.push_back(WaitKey(item.Folder)); // its wait goes with it
    }
    // The entry goes first, in one rewrite; its files only once that is written.
    EditBatch(files, batch, shifted, removed);
    if (item.Kind == TItemKind::ikFile && !files.catalogue.ReadText(batch, "ID", "").empty()) {
        RemoveItemFiles(BatchFolder(files, batch), item);
    }
}

bool MoveItem(ProgramFiles& files, const std::string& batch, int index, int delta) {
    const int other = index + delta;
    const int count = ItemCount(files.catalogue, batch);
    if (index < 0 || index >= count || other < 0 || other >= count) {
        return false;
    }
    const std::string a = files.catalogue.ReadText(batch, ItemKey(other), "");
    const std::string b = files.catalogue.ReadText(batch, ItemKey(index), "");
    EditBatch(files, batch, {{ItemKey(other), b}, {ItemKey(index), a}});
    return true;
}

bool MoveItemTo(ProgramFiles& files, const std::string& batch, int from, int to) {
    const int count = ItemCount(files.catalogue, batch);
    if (from < 0 || from >= count || to < 0 || to >= count) {
        return false;
    }
    const int step = to > from ? 1 : -1;
    for (int at = from; at != to; at += step) {
        MoveItem(files, batch, at, step);
    }
    return true;
}

void SetItemActive(ProgramFiles& files, const std::string& batch, int index, bool active) {
    const std::string entry = files.catalogue.ReadText(batch, ItemKey(index), "");
    if (entry.empty()) {
        return;
    }
    tqAppInfo item;
    DecodeItemEntry(entry, item);
    EditBatch(files, batch,
              {{ItemKey(index),
                item.Fields[0] + ";" + item.Fields[1] + ";" + (active ? "Active" : "Disabled")}});
}

void SetPauseLength(ProgramFiles& files, const std::string& batch, int index, double length,
                    bool active) {
    if (files.catalogue.ReadText(batch, ItemKey(index), "").empty()) {
        RequireBatch(files, batch, false);
        throw Error("The item is no longer in the batch \"" + batch +
                    "\": another program changed it.");
    }
    EditBatch(files, batch,
              {{ItemKey(index),
                "Interval;" + FormatClockTime(length) + ";" + (active ? "Active" : "Disabled")}});
}

} // namespace korvane

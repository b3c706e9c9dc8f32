#include "store/catalogue_edit.h"

#include "store/catalogue_writer.h"
#include "store/clock_time.h"
#include "store/errors.h"
#include "store/file_io.h"
#include "store/ini_document.h"
#include "store/item_wait.h"
#include "store/utf8.h"

#include <algorithm>
#include <optional>
#include <set>

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
    fs::path link, only;
    int entries = 0;
    for (const FolderEntry& entry : ListFolder(folder)) {
        ++entries;
        only = entry.kind == EntryKind::File ? folder / entry.name : fs::path();
        if (entry.kind == EntryKind::File && IsLinkFile(entry.name) &&
            (link.empty() || utf8::FoldCase(utf8::FromPath(entry.name)) >
                                 utf8::FoldCase(utf8::FromPath(link.filename())))) {
            link = folder / entry.name;
        }
    }
    return !link.empty() ? link : entries == 1 ? only : fs::path();
}

// Removes an item's link file and then its folder, when the folder holds
// nothing else. A link where the folder should be goes itself: what it
// names is never entered. Throws FileError when the system refuses.
void RemoveItemFiles(const fs::path& batchFolder, std::string_view folderField) {
    const auto folder = ItemFolder(batchFolder, folderField);
    if (!folder || folderField.empty()) {
        return; // never the batch folder itself
    }
    switch (KindOf(*folder)) {
    case EntryKind::Link:
        RemoveEntry(*folder);
        return;
    case EntryKind::Folder:
        break;
    default:
        return; // gone, or something that is not the program's
    }
    if (const fs::path file = ProgramLinkFile(*folder); !file.empty()) {
        RemoveEntry(file);
    }
    RemoveEntry(*folder); // only an empty folder goes
}

// The item folders a batch's entries name.
std::vector<std::string> ApplicationFolders(const BatchSection& section) {
    std::vector<std::string> folders;
    tqAppInfo item;
    for (int n = 0, count = section.ItemCount(); n < count; ++n) {
        try {
            DecodeItemEntry(section.Item(n), item);
        } catch (const ConvertError&) {
            continue; // a broken pause holds no files
        }
        if (item.Kind == TItemKind::ikFile) {
            folders.push_back(item.Folder);
        }
    }
    return folders;
}

// After the catalogue has let go of them: what could not be removed is said.
void RemoveBatchFiles(const std::string& batch, const fs::path& batchFolder,
                      const std::vector<std::string>& folders) {
    std::optional<std::string> failure;
    const auto attempt = [&](const std::function<void()>& remove) {
        try {
            remove();
        } catch (const FileError& error) {
            if (!failure) {
                failure = error.what();
            }
        }
    };
    if (KindOf(batchFolder) == EntryKind::Link) {
        attempt([&] { RemoveEntry(batchFolder); }); // the link alone, never what it names
    } else {
        for (const std::string& field : folders) {
            attempt([&] { RemoveItemFiles(batchFolder, field); });
        }
        attempt([&] { RemoveEntry(batchFolder); });
    }
    if (failure) {
        throw Error("The batch \"" + batch + "\" is deleted, but some of its files stay: " +
                    *failure);
    }
}

} // namespace

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

BatchRef CreateBatch(ProgramFiles& files, const std::string& wanted, std::mt19937& random) {
    const FolderLock lock(files.folder);
    BatchRef made;
    CatalogueForEdit(files).Update([&](IniDocument& doc) {
        std::set<std::string> ids;
        for (const auto& section : doc.Sections()) {
            ids.insert(std::string(doc.Find(section, "ID").value_or("")));
        }
        // Another program may have taken the name since the window listed it.
        std::string name = wanted;
        while (doc.HasSection(name)) {
            name = "Copy " + name;
        }
        std::uniform_int_distribution<int> draw(0, 9999);
        int id = draw(random);
        // Drawn again until free, so that no two batches share a folder.
        for (int tries = 0; ids.count(std::to_string(id)) && tries < 100000; ++tries) {
            id = draw(random);
        }
        made = {name, std::to_string(id)};
        CheckIniEntry(name, "ID", made.id);
        return doc.Set(name, "ID", made.id);
    });
    try {
        MakeFolders(files.folder / "Shortcuts" / made.id);
    } catch (const FileError&) {
        // Adding an item makes it, or says why it cannot.
    }
    return made;
}

std::string RenameBatch(ProgramFiles& files, const BatchRef& batch, const std::string& newName) {
    const std::string name(IniDocument::TrimName(newName));
    if (name.empty()) {
        throw Error("A batch needs a name");
    }
    const FolderLock lock(files.folder);
    EditBatch(files, batch, [&](BatchSection& section) { section.Rename(name); });
    // What runs at logon follows the batch to its new name.
    const std::string defaultBatch = files.settings.ReadText(kSettingsSection, "DefaultBatch", "");
    if (!defaultBatch.empty() && utf8::EqualFolded(IniDocument::TrimName(defaultBatch),
                                                   IniDocument::TrimName(batch.name))) {
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

void DeleteBatch(ProgramFiles& files, const BatchRef& batch) {
    // One lock for the entry and the files: nothing is added meanwhile.
    const FolderLock lock(files.folder);
    const fs::path batchFolder = BatchFolder(files, batch.name);
    std::vector<std::string> folders;
    // The catalogue first: when it cannot be written, every file stays.
    EditBatch(files, batch, [&](BatchSection& section) {
        folders = ApplicationFolders(section);
        section.Delete();
    });
    if (!batch.id.empty()) { // without one its "folder" would be the whole tree
        RemoveBatchFiles(batch.name, batchFolder, folders);
    }
}

std::string AddApplicationItem(ProgramFiles& files, const BatchRef& batch, const fs::path& source,
                               std::mt19937& random, const LinkMaker& makeLink) {
    // One lock from the first folder made to the entry written: no sweep
    // takes the new folder for a leftover meanwhile.
    const FolderLock lock(files.folder);
    if (!files.catalogue.HasSection(batch.name) ||
        files.catalogue.ReadText(batch.name, "ID", "") != batch.id) {
        throw NoSuchBatch(batch.name);
    }
    if (batch.id.empty()) {
        throw Error("The batch \"" + batch.name + "\" has no ID in " +
                    utf8::FromPath(files.catalogue.FileName()) +
                    ", so its applications have no folder.");
    }
    const fs::path batchFolder = BatchFolder(files, batch.name);
    try {
        MakeFolders(batchFolder);
    } catch (const FileError& error) {
        throw Error("Cannot make the folder of the batch \"" + batch.name + "\": " + error.what());
    }
    // Drawn again until the folder is free, so that no two items share one.
    std::uniform_int_distribution<int> draw(0, 999);
    int n = draw(random);
    for (int tries = 0; KindOf(batchFolder / std::to_string(n)) != EntryKind::Missing &&
                        tries < 10000;
         ++tries) {
        n = draw(random);
    }
    const fs::path folder = batchFolder / std::to_string(n);
    try {
        MakeFolders(folder);
    } catch (const FileError& error) {
        throw Error("Cannot add " + utf8::FromPath(source) + ": " + error.what());
    }
    // What was made goes again when anything after fails: no entry names it.
    const auto undo = [&] {
        try {
            for (const FolderEntry& entry : ListFolder(folder)) {
                RemoveEntry(folder / entry.name);
            }
            RemoveEntry(folder);
        } catch (const FileError&) {
            // Left for the sweep, which removes such folders when it can.
        }
    };
    try {
        if (IsLinkFile(source)) {
            try {
                CopyNewFile(source, folder / source.filename());
            } catch (const FileError& error) {
                throw Error("Cannot copy " + utf8::FromPath(source) + ": " + error.what());
            }
        } else {
            makeLink(source, folder);
        }
        const std::string field = std::to_string(n) + "\\";
        EditBatch(files, batch, [&](BatchSection& section) {
            section.Write(ItemKey(section.ItemCount()), "File;" + field + ";Active");
            // A wait left behind by an item that once had this folder is not the new one's.
            section.Remove(WaitKey(field));
        });
        return field;
    } catch (...) {
        undo();
        throw;
    }
}

void AddPauseItem(ProgramFiles& files, const BatchRef& batch, double length) {
    EditBatch(files, batch, [&](BatchSection& section) {
        section.Write(ItemKey(section.ItemCount()),
                      "Interval;" + FormatClockTime(length) + ";Active");
    });
}

void DeleteItem(ProgramFiles& files, const BatchRef& batch, const ItemRef& ref) {
    const FolderLock lock(files.folder);
    tqAppInfo item;
    bool folderShared = false; // two entries naming one folder: a hand-edited catalogue
    EditBatch(files, batch, [&](BatchSection& section) {
        const std::string entry = section.Expect(ref);
        try {
            DecodeItemEntry(entry, item);
        } catch (const ConvertError&) {
            item.Kind = TItemKind::ikUnknown; // a broken pause can still be removed
        }
        const int count = section.ItemCount();
        tqAppInfo other;
        for (int k = 0; k < count; ++k) {
            const std::string text = section.Item(k);
            if (k != ref.index && item.Kind == TItemKind::ikFile && text.starts_with("File;")) {
                DecodeItemEntry(text, other);
                folderShared = folderShared || WaitKey(other.Folder) == WaitKey(item.Folder);
            }
            if (k > ref.index) {
                section.Write(ItemKey(k - 1), text);
            }
        }
        section.Remove(ItemKey(count - 1));
        if (item.Kind == TItemKind::ikFile && !folderShared && !WaitKey(item.Folder).empty()) {
            section.Remove(WaitKey(item.Folder)); // its wait goes with it
        }
    });
    // The entry went first, in one rewrite; its files only once that is written.
    if (item.Kind == TItemKind::ikFile && !folderShared && !batch.id.empty()) {
        try {
            RemoveItemFiles(BatchFolder(files, batch.name), item.Folder);
        } catch (const FileError& error) {
            throw Error("The item is deleted, but its files stay: " + std::string(error.what()));
        }
    }
}

bool MoveItemTo(ProgramFiles& files, const BatchRef& batch, const ItemRef& item, int to) {
    bool moved = false;
    EditBatch(files, batch, [&](BatchSection& section) {
        section.Expect(item);
        if (to < 0 || to >= section.ItemCount()) {
            return;
        }
        // As that many swaps of neighbours would leave them.
        const int step = to > item.index ? 1 : -1;
        for (int at = item.index; at != to; at += step) {
            const std::string a = section.Item(at), b = section.Item(at + step);
            section.Write(ItemKey(at), b);
            section.Write(ItemKey(at + step), a);
        }
        moved = true;
    });
    return moved;
}

bool MoveItem(ProgramFiles& files, const BatchRef& batch, const ItemRef& item, int delta) {
    return MoveItemTo(files, batch, item, item.index + delta);
}

std::string SetItemActive(ProgramFiles& files, const BatchRef& batch, const ItemRef& ref,
                          bool active) {
    std::string written;
    EditBatch(files, batch, [&](BatchSection& section) {
        tqAppInfo item;
        DecodeItemEntry(section.Expect(ref), item);
        written = item.Fields[0] + ";" + item.Fields[1] + ";" + (active ? "Active" : "Disabled");
        section.Write(ItemKey(ref.index), written);
    });
    return written;
}

void SetPauseLength(ProgramFiles& files, const BatchRef& batch, const ItemRef& ref,
                    double length) {
    EditBatch(files, batch, [&](BatchSection& section) {
        tqAppInfo item;
        DecodeItemEntry(section.Expect(ref), item);
        if (item.Kind != TItemKind::ikInterval) {
            throw ItemChanged(batch.name);
        }
        section.Write(ItemKey(ref.index), "Interval;" + FormatClockTime(length) + ";" +
                                              (item.Active ? "Active" : "Disabled"));
    });
}

void SetBatchLooks(ProgramFiles& files, const BatchRef& batch, const BatchLooks& looks) {
    EditBatch(files, batch, [&](BatchSection& section) {
        section.Write("ShowInStartup", looks.showInStartup ? "1" : "0");
        section.Write("IconFile", looks.iconFile);
        section.Write("IconIndex", std::to_string(looks.iconIndex));
    });
}

} // namespace korvane

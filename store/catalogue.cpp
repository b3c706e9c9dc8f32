#include "store/catalogue.h"

#include "store/clock_time.h"
#include "store/errors.h"
#include "store/file_io.h"
#include "store/ini_document.h"
#include "store/utf8.h"

#include <algorithm>
#include <cstdlib>
#include <system_error>

namespace fs = std::filesystem;

namespace korvane {

bool IsInstalledBuild() {
    return KORVANE_INSTALLED != 0;
}

fs::path InstalledStateFolder() {
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data && *data && fs::path(data).is_absolute()) {
        return fs::path(data) / "korvane";
    }
    const char* home = std::getenv("HOME");
    return fs::path(home && *home ? home : ".") / ".local" / "share" / "korvane";
}

fs::path StateFolder(const fs::path& exe) {
    return IsInstalledBuild() ? InstalledStateFolder() : exe.parent_path();
}

namespace {

// An installed program's state folder appears on first use, private to the user.
fs::path MadeStateFolder(const fs::path& exe) {
    fs::path folder = StateFolder(exe);
    std::error_code ec;
    if (IsInstalledBuild() && !fs::exists(folder, ec)) {
        // Made private at once: nobody else may plant a batch in it meanwhile.
        fs::create_directories(folder.parent_path(), ec);
        if (fs::create_directory(folder, ec)) {
            fs::permissions(folder, fs::perms::owner_all, fs::perm_options::replace, ec);
        }
    }
    return folder;
}

fs::path Beside(const fs::path& folder, const fs::path& exe, const char* extension) {
    return folder / fs::path(exe.filename()).replace_extension(extension);
}

} // namespace

ProgramFiles::ProgramFiles(const fs::path& exe) : ProgramFiles(exe, MadeStateFolder(exe)) {}

ProgramFiles::ProgramFiles(const fs::path& exe, const fs::path& stateFolder)
    : executable(exe), folder(stateFolder), layoutFile(Beside(stateFolder, exe, ".prm")),
      catalogueFile_(stateFolder / "batches.lst"), catalogue(catalogueFile_),
      settings(Beside(stateFolder, exe, ".ini")) {
    GuardFolder(stateFolder);
}

void DecodeItemEntry(std::string_view text, tqAppInfo& record) {
    record.Folder.clear();
    std::vector<std::string_view> fields;
    while (!text.empty()) {
        const std::size_t semi = text.find(';');
        fields.push_back(text.substr(0, semi));
        text = semi == std::string_view::npos ? std::string_view{} : text.substr(semi + 1);
    }
    // Nothing is left over from an earlier entry: a missing state is "Disabled".
    record.Kind = TItemKind::ikUnknown;
    record.Time = 0.0;
    record.Active = false;
    const std::string_view kind = fields.empty() ? std::string_view{} : fields[0];
    if (kind == "Interval") {
        record.Kind = TItemKind::ikInterval;
        if (fields.size() >= 2) {
            record.Time = ParseClockTime(fields[1]);
        }
    } else if (kind == "File") {
        record.Kind = TItemKind::ikFile;
        if (fields.size() >= 2) {
            record.Folder = fields[1];
        }
    }
    if (record.Kind != TItemKind::ikUnknown && fields.size() >= 3) {
        record.Active = fields[2] == "Active";
    }
    for (std::size_t i = 0; i < record.Fields.size(); ++i) {
        record.Fields[i] = i < fields.size() ? std::string(fields[i]) : std::string();
    }
}

void ForEachItem(const TIniFile& catalogue, std::string_view batch,
                 const std::function<bool(int index, const tqAppInfo& item)>& visit) {
    tqAppInfo item;
    for (int n = 0;; ++n) {
        const std::string entry = catalogue.ReadText(batch, ItemKey(n), "");
        if (entry.empty()) {
            return;
        }
        DecodeItemEntry(entry, item);
        if (!visit(n, item)) {
            return;
        }
    }
}

std::string ItemKey(int n) {
    return "Item" + std::to_string(n);
}

namespace {

// A relative path made of plain names only: no root, no "..", no ".".
std::optional<fs::path> PlainRelative(std::string_view text) {
    std::string s(text);
    std::replace(s.begin(), s.end(), '\\', '/');
    fs::path result;
    std::size_t pos = 0;
    if (!s.empty() && s.front() == '/') {
        return std::nullopt;
    }
    while (pos <= s.size()) {
        const std::size_t slash = std::min(s.find('/', pos), s.size());
        const std::string part = s.substr(pos, slash - pos);
        if (part == ".." || part == "." || part.find('\0') != std::string::npos) {
            return std::nullopt;
        }
        if (!part.empty()) {
            result /= utf8::ToPath(part);
        }
        pos = slash + 1;
    }
    return result;
}

} // namespace

fs::path BatchFolder(const ProgramFiles& files, std::string_view batchName) {
    const std::string id = files.catalogue.ReadText(batchName, "ID", "");
    fs::path folder = files.folder / "Shortcuts";
    // A hand-edited ID that is not a plain name stands for no folder of its own.
    if (const auto rel = PlainRelative(id); rel && !id.empty()) {
        folder /= *rel;
    } else if (!id.empty()) {
        folder /= ".invalid-id";
    }
    return folder / "";
}

std::optional<fs::path> ItemFolder(const fs::path& batchFolder, std::string_view folderField) {
    const auto rel = PlainRelative(folderField);
    if (!rel) {
        return std::nullopt;
    }
    return rel->empty() ? batchFolder : batchFolder / *rel / "";
}

namespace {

// Of several files, the greatest name compared without regard to case.
std::string GreatestName(const std::vector<FolderEntry>& entries) {
    std::string best;
    std::string bestFolded;
    for (const FolderEntry& entry : entries) {
        std::string name = utf8::FromPath(entry.name);
        std::string folded = utf8::FoldCase(name);
        if (best.empty() || folded > bestFolded || (folded == bestFolded && name > best)) {
            best = std::move(name);
            bestFolded = std::move(folded);
        }
    }
    return best;
}

} // namespace

std::string FindItemFile(const fs::path& itemFolder) {
    try {
        return GreatestName(ListFolder(itemFolder));
    } catch (const FileError&) {
        return "";
    }
}

ItemFileLookup LookUpItemFile(const fs::path& batchFolder, std::string_view folderField) {
    ItemFileLookup found;
    const auto folder = ItemFolder(batchFolder, folderField);
    if (!folder) {
        return found;
    }
    found.folder = *folder;
    std::string name;
    try {
        name = GreatestName(ListFolder(*folder));
    } catch (const FileError& error) {
        found.state = ItemFileLookup::State::Refused;
        found.reason = error.what();
        return found;
    }
    if (name.empty()) {
        return found;
    }
    found.file = *folder / utf8::ToPath(name);
    switch (KindOf(found.file)) {
    case EntryKind::File:
    case EntryKind::Folder:
        found.state = ItemFileLookup::State::Found;
        break;
    case EntryKind::Missing:
        break; // gone a moment ago
    case EntryKind::Link:
        found.state = ItemFileLookup::State::Refused;
        found.reason = utf8::FromPath(found.file) + ": " + kSymlinkInside;
        break;
    case EntryKind::Other:
        found.state = ItemFileLookup::State::Refused;
        found.reason = utf8::FromPath(found.file) + ": " + kNotRegular;
        break;
    }
    return found;
}

std::vector<BatchRow> ListBatchRows(const TIniFile& catalogue, bool startupOnly) {
    std::vector<BatchRow> rows;
    const TIniFile::HeldVersion oneVersion(catalogue);
    for (std::string& name : catalogue.AllSections()) {
        if (startupOnly && !catalogue.ReadFlag(name, "ShowInStartup", true)) {
            continue;
        }
        BatchRow row;
        row.iconFile = catalogue.ReadText(name, "IconFile", "");
        row.iconIndex = catalogue.ReadNumber(name, "IconIndex", 0);
        row.id = catalogue.ReadText(name, "ID", "");
        row.name = std::move(name);
        rows.push_back(std::move(row));
    }
    return rows;
}

int FindDefaultBatch(const TIniFile& settings, const std::vector<std::string>& captions) {
    const std::string wanted = settings.ReadText(kSettingsSection, "DefaultBatch", "");
    if (wanted.empty()) {
        return 0; // none named: the first row
    }
    const std::string folded = utf8::FoldCase(wanted);
    for (std::size_t i = 0; i < captions.size(); ++i) {
        if (utf8::FoldCase(captions[i]) == folded) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int DefaultBatchIndex(const TIniFile& settings, const std::vector<std::string>& captions) {
    return std::max(0, FindDefaultBatch(settings, captions));
}

void CheckReadable(const TIniFile& file) {
    try {
        file.Preload(); // the reads that follow find it parsed
    } catch (const FileError& error) {
        throw Error("Unable to read " + utf8::FromPath(file.FileName()) + ": " + error.Reason());
    } catch (const std::system_error& error) {
        throw Error("Unable to read " + utf8::FromPath(file.FileName()) + ": " +
                    error.code().message());
    }
}

bool BatchExists(const TIniFile& catalogue, std::string_view batch) {
    const std::string name(IniDocument::TrimName(batch));
    const auto sections = catalogue.AllSections();
    return std::any_of(sections.begin(), sections.end(),
                       [&](const std::string& s) { return utf8::EqualFolded(s, name); });
}

} // namespace korvane

#include "shell/batch_shortcut.h"

#include "shell/desktop_link.h"
#include "store/errors.h"
#include "store/file_io.h"
#include "store/ini_document.h"
#include "store/utf8.h"

#include <algorithm>
#include <system_error>

namespace fs = std::filesystem;

namespace korvane::shell {

namespace {

bool SameProgram(const fs::path& a, const fs::path& b) {
    std::error_code ec;
    return a.lexically_normal() == b.lexically_normal() || fs::equivalent(a, b, ec);
}

bool SameBatch(const std::string& a, const std::string& b) {
    return utf8::EqualFolded(IniDocument::TrimName(a), IniDocument::TrimName(b));
}

// Whether the file is exe's shortcut of the batch: "-- <batch>", or the
// name alone, as shortcuts made before "--" was written have it.
bool RunsBatch(const fs::path& file, const fs::path& exe, const std::string& batch) {
    const auto command = ReadDesktopLink(file);
    if (!command || !SameProgram(command->program, exe)) {
        return false;
    }
    const auto& args = command->arguments;
    return (args.size() == 2 && args[0] == "--" && SameBatch(args[1], batch)) ||
           (args.size() == 1 && args[0] != "--" && SameBatch(args[0], batch));
}

// A file for the batch's shortcut that no other file has, or reusable.
fs::path FreeFile(const fs::path& folder, const std::string& batch, const fs::path& reusable) {
    const std::string base = DesktopLinkName(batch);
    for (int n = 1;; ++n) {
        const fs::path file =
            folder / utf8::ToPath(base + (n == 1 ? "" : " (" + std::to_string(n) + ")") +
                                  kDesktopLinkExtension);
        if (file == reusable || KindOf(file) == EntryKind::Missing) {
            return file;
        }
    }
}

} // namespace

std::vector<std::string> BatchShortcutArguments(const std::string& batch) {
    return {"--", batch};
}

fs::path FindBatchShortcut(const fs::path& folder, const fs::path& exe, const std::string& batch) {
    std::vector<FolderEntry> entries;
    try {
        entries = ListFolder(folder);
    } catch (const FileError&) {
        return {};
    }
    // The file its name suggests first: usually the one. Names as the folder
    // lists them, whatever the letter case they were asked by.
    const std::string suggested = DesktopLinkName(batch) + kDesktopLinkExtension;
    std::stable_partition(entries.begin(), entries.end(), [&](const FolderEntry& entry) {
        return utf8::EqualFolded(utf8::FromPath(entry.name), suggested);
    });
    for (const FolderEntry& entry : entries) {
        const fs::path file = folder / entry.name;
        if (entry.kind == EntryKind::File &&
            utf8::EqualFolded(utf8::FromPath(entry.name.extension()), kDesktopLinkExtension) &&
            RunsBatch(file, exe, batch)) {
            return file;
        }
    }
    return {};
}

fs::path MakeBatchShortcut(const fs::path& folder, const fs::path& exe, const std::string& batch,
                           const ShortcutIcon& icon) {
    fs::path file = FindBatchShortcut(folder, exe, batch);
    if (file.empty()) {
        file = FreeFile(folder, batch, {});
    }
    WriteDesktopLink(file, batch, exe, BatchShortcutArguments(batch), icon.index, icon.file);
    return file;
}

void MoveBatchShortcut(const fs::path& folder, const fs::path& exe, const std::string& oldName,
                       const std::string& newName, const ShortcutIcon& icon) {
    const fs::path old = FindBatchShortcut(folder, exe, oldName);
    if (old.empty() || oldName == newName) {
        return;
    }
    fs::path file = FindBatchShortcut(folder, exe, newName);
    if (file.empty()) {
        file = FreeFile(folder, newName, old);
    }
    // The new one first: should it fail, the old one still launches.
    WriteDesktopLink(file, newName, exe, BatchShortcutArguments(newName), icon.index, icon.file);
    if (file != old) {
        try {
            RemoveEntry(old);
        } catch (const FileError& error) {
            throw Error("The shortcut of \"" + oldName + "\" could not be removed: " +
                        error.what());
        }
    }
}

} // namespace korvane::shell

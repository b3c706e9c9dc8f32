#pragma once

// The desktop shortcuts that launch batches ("Make shortcut"). A shortcut is
// found again by what it runs, never by its file name alone: batches whose
// names map to one file name ("a/b" and "a-b") get files of their own, and
// nothing but a batch's own shortcut is ever rewritten or removed.

#include <filesystem>
#include <string>
#include <vector>

namespace korvane::shell {

// What a shortcut passes to run the batch: the name after "--", so that a
// batch named like an option ("-startup") is still launched as a batch.
std::vector<std::string> BatchShortcutArguments(const std::string& batch);

// exe's shortcut of the batch in folder (the desktop); empty when there is none.
std::filesystem::path FindBatchShortcut(const std::filesystem::path& folder,
                                        const std::filesystem::path& exe,
                                        const std::string& batch);

struct ShortcutIcon {
    std::string file; // "" for the program's own
    int index = 0;
};

// Makes the batch's shortcut, where it is when there is one, else under a
// file name of its own; returns the file. Throws Error when it cannot.
std::filesystem::path MakeBatchShortcut(const std::filesystem::path& folder,
                                        const std::filesystem::path& exe,
                                        const std::string& batch, const ShortcutIcon& icon);

// A renamed batch's shortcut, when it has one, runs the new name (under a
// file name for it); no other file is touched. Throws Error when it cannot.
void MoveBatchShortcut(const std::filesystem::path& folder, const std::filesystem::path& exe,
                       const std::string& oldName, const std::string& newName,
                       const ShortcutIcon& icon);

} // namespace korvane::shell

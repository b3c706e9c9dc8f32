#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace korvane::shell {

// What the link property sheet shows and edits of an item's link file: a
// Korvane link ([Shell Link]) or a copied desktop entry ([Desktop Entry]).
struct LinkSheet {
    enum class Kind { Link, DesktopEntry } kind = Kind::Link;
    std::string name;      // desktop entry: Name
    std::string target;    // link: Target; desktop entry: Exec (the command)
    std::string arguments; // link: Arguments
    std::string startIn;   // link: WorkingDirectory; desktop entry: Path
    std::string comment;   // link: Description; desktop entry: Comment
    std::string iconFile;  // link: IconFile; desktop entry: Icon
    int iconIndex = 0;     // link: IconIndex
};

// The sheet of a link file; nullopt when the file cannot be read as a link
// or desktop entry (it is then shown read-only, never overwritten).
std::optional<LinkSheet> ReadLinkSheet(const std::filesystem::path& file);

// Why the sheet cannot be written, or "" when it can: a "Start in" folder
// that does not exist, arguments (or a command) that do not split into words
// the way a launch splits them, an empty command.
std::string CheckLinkSheet(const LinkSheet& sheet);

// A warning worth showing that does not stop writing ("" for none): a
// target that does not exist (yet).
std::string LinkSheetWarning(const LinkSheet& sheet);

// Writes the sheet back in one atomic replacement, keeping every key and
// group it does not show. False when the file could not be read or written.
bool WriteLinkSheet(const std::filesystem::path& file, const LinkSheet& sheet);

} // namespace korvane::shell

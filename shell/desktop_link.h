#pragma once

// Desktop shortcuts: one file in the desktop folder that runs a program with
// arguments, in this platform's format (a desktop entry on the freedesktop
// desktops, a shell link on Windows).

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace korvane::shell {

// ".desktop" or ".lnk".
extern const char* const kDesktopLinkExtension;

// A file name (without extension) for a shortcut named name: the characters
// a file name here cannot hold become "-", and a name that would be hidden
// (".name") or no name at all is made one that shows.
std::string DesktopLinkName(const std::string& name);

// Writes (or replaces) the shortcut file: shown as name, running target with
// arguments, with the icon iconFile (index iconIndex) unless iconFile is "".
// Throws Error, with the system's reason, when it cannot be written.
void WriteDesktopLink(const std::filesystem::path& file, const std::string& name,
                      const std::filesystem::path& target,
                      const std::vector<std::string>& arguments, int iconIndex,
                      const std::string& iconFile);

// What a shortcut file runs; nullopt for a file that is no shortcut.
struct DesktopLinkCommand {
    std::filesystem::path program;
    std::vector<std::string> arguments;
};
std::optional<DesktopLinkCommand> ReadDesktopLink(const std::filesystem::path& file);

} // namespace korvane::shell

#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace korvane::shell {

// The groups of this platform's link files and of desktop entries.
inline constexpr const char* kLinkGroup = "Shell Link";
inline constexpr const char* kDesktopGroup = "Desktop Entry";

// What an item's link file holds. On this platform a link file is a small
// key file with the group [Shell Link].
struct LinkInfo {
    std::string target;
    std::string workingDirectory;
    std::string arguments;
    std::string description;
    std::string iconFile;
    int iconIndex = 0;
};

std::optional<LinkInfo> ReadLinkFile(const std::filesystem::path& file);
bool WriteLinkFile(const std::filesystem::path& file, const LinkInfo& link);

// The folder part of a path, up to and including its last separator; "" for
// a bare file name.
std::string FolderPart(const std::string& path);

} // namespace korvane::shell

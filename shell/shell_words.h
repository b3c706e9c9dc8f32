#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvane::shell {

// Splits a command line into words by the rules desktops use for Exec lines
// and links use for their arguments (GLib's shell parsing, no expansion):
// blanks separate words; '...' is literal; "..." honours \" \\ \` \$ and a
// backslash-newline; a backslash outside quotes takes the next character; a
// "#" that starts a word begins a comment. nullopt for an unbalanced quote,
// a trailing backslash, or text with no word at all.
std::optional<std::vector<std::string>> SplitShellWords(std::string_view text);

// The program a bare name starts: the first executable file of that name in
// the folders of PATH (default "/bin:/usr/bin:."); a name with a "/" is
// taken as it is when it is executable.
std::optional<std::filesystem::path> FindProgramInPath(std::string_view name);

} // namespace korvane::shell

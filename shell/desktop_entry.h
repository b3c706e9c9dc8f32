#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvane::shell {

// One argument quoted for the Exec key of a desktop entry: in double quotes,
// with ", `, $ and \ escaped by a backslash and % doubled. (The key-file
// layer escapes backslashes once more when the line is written.)
std::string QuoteExecArgument(std::string_view argument);

// An Exec line running program with arguments.
std::string ExecLine(std::string_view program, const std::vector<std::string>& arguments);

class KeyFile;

// A desktop entry of type Application, shown as name, that runs exec.
KeyFile NewApplicationEntry(const std::string& name, const std::string& comment,
                            const std::string& exec);

// The user's home folder, which the XDG folders default to: $HOME, else the
// password database's entry.
std::filesystem::path HomeFolder();

// The locale suffixes a localized key is looked up by, best first, from
// LANGUAGE, LC_ALL, LC_MESSAGES and LANG as gettext reads them: for
// "de_AT.UTF-8@euro" that is "de_AT@euro", "de_AT", "de@euro", "de". None for
// the C locale.
std::vector<std::string> MessageLocales();

// A localized string of a desktop entry ("Name", "Comment", ...): the value
// of the first key[locale] present for locales, else the plain key.
std::optional<std::string> LocalizedString(const KeyFile& kf, std::string_view group,
                                           std::string_view key,
                                           const std::vector<std::string>& locales);

} // namespace korvane::shell

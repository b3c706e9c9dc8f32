#pragma once

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

} // namespace korvane::shell

#include "shell/desktop_entry.h"

namespace korvane::shell {

std::string QuoteExecArgument(std::string_view argument) {
    std::string out = "\"";
    for (const char c : argument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') {
            out += '\\';
        }
        out += c;
        if (c == '%') {
            out += '%';
        }
    }
    out += '"';
    return out;
}

std::string ExecLine(std::string_view program, const std::vector<std::string>& arguments) {
    std::string line = QuoteExecArgument(program);
    for (const std::string& arg : arguments) {
        line += ' ';
        line += QuoteExecArgument(arg);
    }
    return line;
}

} // namespace korvane::shell

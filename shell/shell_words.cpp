#include "shell/shell_words.h"

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace korvane::shell {

namespace {

// Removes the quoting of one token; false for a quote left open.
bool Unquote(std::string_view token, std::string& out) {
    std::size_t i = 0;
    while (i < token.size()) {
        const char c = token[i];
        if (c == '\\') {
            // Outside quotes a backslash takes any character; a newline after
            // it goes.
            if (++i < token.size()) {
                if (token[i] != '\n') {
                    out += token[i];
                }
                ++i;
            }
        } else if (c == '\'') {
            const std::size_t close = token.find('\'', i + 1);
            if (close == std::string_view::npos) {
                return false;
            }
            out.append(token.substr(i + 1, close - i - 1));
            i = close + 1;
        } else if (c == '"') {
            ++i;
            for (;;) {
                if (i >= token.size()) {
                    return false;
                }
                if (token[i] == '"') {
                    ++i;
                    break;
                }
                if (token[i] == '\\') {
                    ++i;
                    if (i < token.size() &&
                        (token[i] == '"' || token[i] == '\\' || token[i] == '`' ||
                         token[i] == '$' || token[i] == '\n')) {
                        out += token[i++];
                    } else {
                        out += '\\';
                    }
                    continue;
                }
                out += token[i++];
            }
        } else {
            out += c;
            ++i;
        }
    }
    return true;
}

bool Executable(const std::filesystem::path& file) {
    struct stat st {};
    return ::access(file.c_str(), X_OK) == 0 && ::stat(file.c_str(), &st) == 0 &&
           !S_ISDIR(st.st_mode);
}

} // namespace

std::optional<std::vector<std::string>> SplitShellWords(std::string_view text) {
    // First cut the text into tokens with their quoting still in them...
    std::vector<std::string> tokens;
    std::optional<std::string> token;
    const auto current = [&]() -> std::string& {
        if (!token) {
            token.emplace();
        }
        return *token;
    };
    const auto delimit = [&] {
        if (token) {
            tokens.push_back(std::move(*token));
            token.reset();
        }
    };
    char quote = '\0';    // '\'', '"', '\\' (the next character), '#' (a comment)
    bool escaped = false; // an odd run of backslashes ends just before this character
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quote == '\\') {
            if (c != '\n') {
                current().append({'\\', c});
            }
            quote = '\0';
        } else if (quote == '#') {
            while (i < text.size() && text[i] != '\n') {
                ++i;
            }
            quote = '\0';
            if (i == text.size()) {
                break;
            }
        } else if (quote) {
            if (c == quote && !(quote == '"' && escaped)) {
                quote = '\0';
            }
            current() += c;
        } else {
            switch (c) {
            case '\n':
                delimit();
                break;
            case ' ':
            case '\t':
                if (token && !token->empty()) {
                    delimit();
                }
                break;
            case '\'':
            case '"':
                current() += c;
                quote = c;
                break;
            case '\\':
                quote = c;
                break;
            case '#':
                if (i == 0 || text[i - 1] == ' ' || text[i - 1] == '\n') {
                    quote = '#';
                } else {
                    current() += c;
                }
                break;
            default:
                current() += c;
                break;
            }
        }
        escaped = c == '\\' ? !escaped : false;
    }
    delimit();
    if (quote != '\0' || tokens.empty()) { // a quote left open (a lone "#" at the end too)
        return std::nullopt;
    }
    // ...then take the quoting out of each.
    std::vector<std::string> words;
    for (const std::string& t : tokens) {
        std::string word;
        if (!Unquote(t, word)) {
            return std::nullopt;
        }
        words.push_back(std::move(word));
    }
    return words;
}

std::optional<std::filesystem::path> FindProgramInPath(std::string_view name) {
    if (name.empty()) {
        return std::nullopt;
    }
    if (name.find('/') != std::string_view::npos) {
        const std::filesystem::path file(name);
        if (!Executable(file)) {
            return std::nullopt;
        }
        return file.is_absolute() ? file : std::filesystem::current_path() / file;
    }
    const char* env = std::getenv("PATH");
    std::string_view path = env ? env : "/bin:/usr/bin:.";
    for (;;) {
        const std::size_t colon = path.find(':');
        const std::string_view dir = path.substr(0, colon);
        const std::filesystem::path candidate =
            std::filesystem::path(dir.empty() ? std::string_view(".") : dir) / name;
        if (Executable(candidate)) {
            return candidate;
        }
        if (colon == std::string_view::npos) {
            return std::nullopt;
        }
        path.remove_prefix(colon + 1);
    }
}

} // namespace korvane::shell

#include "shell/desktop_entry.h"

#include "shell/key_file.h"
#include "shell/link_file.h"

#include <cstdlib>

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

KeyFile NewApplicationEntry(const std::string& name, const std::string& comment,
                            const std::string& exec) {
    KeyFile kf = *KeyFile::Parse("");
    kf.Set(kDesktopGroup, "Type", "Application");
    kf.Set(kDesktopGroup, "Version", "1.0");
    kf.Set(kDesktopGroup, "Name", name);
    kf.Set(kDesktopGroup, "Comment", comment);
    kf.Set(kDesktopGroup, "Exec", exec);
    kf.Set(kDesktopGroup, "Terminal", "false");
    return kf;
}

namespace {

// The variants of one locale name, best first.
void AddLocaleVariants(std::string_view name, std::vector<std::string>& out) {
    std::string_view rest = name;
    std::string_view modifier;
    if (const auto at = rest.find('@'); at != std::string_view::npos) {
        modifier = rest.substr(at); // with its "@"
        rest = rest.substr(0, at);
    }
    if (const auto dot = rest.find('.'); dot != std::string_view::npos) {
        rest = rest.substr(0, dot); // the encoding is never part of a key
    }
    std::string_view lang = rest;
    std::string_view country;
    if (const auto underscore = rest.find('_'); underscore != std::string_view::npos) {
        lang = rest.substr(0, underscore);
        country = rest.substr(underscore);
    }
    if (lang.empty() || lang == "C" || lang == "POSIX") {
        return;
    }
    const auto add = [&](std::string variant) {
        for (const std::string& known : out) {
            if (known == variant) {
                return;
            }
        }
        out.push_back(std::move(variant));
    };
    if (!country.empty() && !modifier.empty()) {
        add(std::string(lang) + std::string(country) + std::string(modifier));
    }
    if (!country.empty()) {
        add(std::string(lang) + std::string(country));
    }
    if (!modifier.empty()) {
        add(std::string(lang) + std::string(modifier));
    }
    add(std::string(lang));
}

std::string_view Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

} // namespace

std::vector<std::string> MessageLocales() {
    std::string_view locale = Env("LC_ALL");
    if (locale.empty()) {
        locale = Env("LC_MESSAGES");
    }
    if (locale.empty()) {
        locale = Env("LANG");
    }
    std::vector<std::string> out;
    if (locale.empty() || locale == "C" || locale == "POSIX") {
        return out; // gettext ignores LANGUAGE in the C locale
    }
    std::string_view languages = Env("LANGUAGE");
    while (!languages.empty()) {
        const auto colon = languages.find(':');
        AddLocaleVariants(languages.substr(0, colon), out);
        languages =
            colon == std::string_view::npos ? std::string_view() : languages.substr(colon + 1);
    }
    AddLocaleVariants(locale, out);
    return out;
}

std::optional<std::string> LocalizedString(const KeyFile& kf, std::string_view group,
                                           std::string_view key,
                                           const std::vector<std::string>& locales) {
    for (const std::string& locale : locales) {
        if (auto value = kf.Get(group, std::string(key) + "[" + locale + "]")) {
            return value;
        }
    }
    return kf.Get(group, key);
}

} // namespace korvane::shell

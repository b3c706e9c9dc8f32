#include "shell/key_file.h"

#include "store/file_io.h"
#include "store/utf8.h"

#include <charconv>
#include <system_error>

namespace korvane::shell {

namespace {

bool Space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

} // namespace

std::string EscapeKeyFileValue(std::string_view value) {
    std::string out;
    bool leading = true; // blanks at the start would be lost on reading
    for (const char c : value) {
        switch (c) {
        case ' ':
            out += leading ? "\\s" : " ";
            break;
        case '\t':
            out += leading ? "\\t" : "\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\\':
            out += "\\\\";
            leading = false;
            break;
        default:
            out += c;
            leading = false;
            break;
        }
    }
    return out;
}

std::string UnescapeKeyFileValue(std::string_view stored) {
    std::string out;
    for (std::size_t i = 0; i < stored.size(); ++i) {
        if (stored[i] != '\\') {
            out += stored[i];
            continue;
        }
        if (++i == stored.size()) {
            break; // a lone backslash at the end reads as nothing
        }
        switch (stored[i]) {
        case 's':
            out += ' ';
            break;
        case 'n':
            out += '\n';
            break;
        case 't':
            out += '\t';
            break;
        case 'r':
            out += '\r';
            break;
        case '\\':
            out += '\\';
            break;
        default:
            // Not an escape: kept as written, as desktops read it
            // (hand-written paths such as C:\Tools survive).
            out += '\\';
            out += stored[i];
            break;
        }
    }
    return out;
}

std::optional<KeyFile> KeyFile::Parse(std::string_view text) {
    KeyFile file;
    bool inGroup = false;
    while (!text.empty()) {
        const std::size_t nl = text.find('\n');
        std::string_view raw = text.substr(0, nl);
        text = nl == std::string_view::npos ? std::string_view{} : text.substr(nl + 1);
        if (!raw.empty() && raw.back() == '\r') {
            raw.remove_suffix(1); // written on Windows: read all the same
        }
        Line line;
        line.text = raw;
        std::string_view t = raw;
        while (!t.empty() && Space(t.front())) {
            t.remove_prefix(1);
        }
        if (t.empty() || t.front() == '#') {
            line.kind = Line::Other;
        } else if (t.front() == '[') {
            const std::size_t close = t.find(']');
            if (close == std::string_view::npos ||
                t.substr(close + 1).find_first_not_of(" \t") != std::string_view::npos) {
                return std::nullopt;
            }
            line.kind = Line::Group;
            line.name = t.substr(1, close - 1);
            inGroup = true;
        } else if (const std::size_t eq = t.find('='); eq != std::string_view::npos && eq > 0) {
            if (!inGroup) {
                return std::nullopt; // entries before any group
            }
            std::string_view key = t.substr(0, eq);
            while (!key.empty() && Space(key.back())) {
                key.remove_suffix(1);
            }
            std::string_view value = t.substr(eq + 1);
            while (!value.empty() && Space(value.front())) {
                value.remove_prefix(1);
            }
            line.kind = Line::Entry;
            line.name = key;
            line.value = value;
        } else {
            return std::nullopt;
        }
        file.lines_.push_back(std::move(line));
    }
    return file;
}

std::optional<KeyFile> KeyFile::Load(const std::filesystem::path& path) {
    try {
        const auto snap = ReadFileSnapshot(path);
        return snap ? Parse(snap->bytes) : std::nullopt;
    } catch (const std::system_error&) {
        return std::nullopt;
    }
}

std::string KeyFile::Serialize() const {
    std::string out;
    for (const Line& line : lines_) {
        out += line.text;
        out += '\n';
    }
    return out;
}

bool KeyFile::Save(const std::filesystem::path& path) const {
    try {
        Write(path);
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

void KeyFile::Write(const std::filesystem::path& path) const {
    ReplaceFileLocked(path, Serialize());
}

bool KeyFile::HasGroup(std::string_view group) const {
    for (const Line& line : lines_) {
        if (line.kind == Line::Group && line.name == group) {
            return true;
        }
    }
    return false;
}

std::size_t KeyFile::FindEntry(std::string_view group, std::string_view key) const {
    std::size_t found = std::string::npos;
    bool inGroup = false;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const Line& line = lines_[i];
        if (line.kind == Line::Group) {
            inGroup = line.name == group; // a group written twice is one group
        } else if (inGroup && line.kind == Line::Entry && line.name == key) {
            found = i;
        }
    }
    return found;
}

std::optional<std::string> KeyFile::Get(std::string_view group, std::string_view key) const {
    const std::size_t i = FindEntry(group, key);
    if (i == std::string::npos || !utf8::IsValid(lines_[i].value)) {
        return std::nullopt;
    }
    return UnescapeKeyFileValue(lines_[i].value);
}

std::optional<int> KeyFile::GetInteger(std::string_view group, std::string_view key) const {
    const auto text = Get(group, key);
    if (!text) {
        return std::nullopt;
    }
    std::string_view t = *text;
    while (!t.empty() && Space(t.front())) {
        t.remove_prefix(1);
    }
    while (!t.empty() && Space(t.back())) {
        t.remove_suffix(1);
    }
    int value = 0;
    const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), value);
    if (ec != std::errc() || end != t.data() + t.size() || t.empty()) {
        return std::nullopt;
    }
    return value;
}

void KeyFile::Set(std::string_view group, std::string_view key, std::string_view value) {
    Line entry;
    entry.kind = Line::Entry;
    entry.name = key;
    entry.value = EscapeKeyFileValue(value);
    entry.text = entry.name + "=" + entry.value;
    if (const std::size_t i = FindEntry(group, key); i != std::string::npos) {
        lines_[i] = std::move(entry);
        return;
    }
    // After the last entry of the group's last copy, ahead of blank lines.
    std::size_t at = std::string::npos;
    bool inGroup = false;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (lines_[i].kind == Line::Group) {
            inGroup = lines_[i].name == group;
            if (inGroup) {
                at = i + 1;
            }
        } else if (inGroup && lines_[i].kind == Line::Entry) {
            at = i + 1;
        }
    }
    if (at == std::string::npos) {
        if (!lines_.empty() && !lines_.back().text.empty()) {
            lines_.push_back(Line{}); // a blank line between groups, as desktops write them
        }
        Line header;
        header.kind = Line::Group;
        header.name = group;
        header.text = "[" + header.name + "]";
        lines_.push_back(std::move(header));
        at = lines_.size();
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), std::move(entry));
}

void KeyFile::Remove(std::string_view group, std::string_view key) {
    for (std::size_t i; (i = FindEntry(group, key)) != std::string::npos;) {
        lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(i));
    }
}

namespace {

// Key files hold UTF-8 text. A path that is not UTF-8 (file names are bytes
// here) is kept twice: readable, with replacement characters, under its own
// key, and byte for byte, percent-escaped, under key + "-Escaped", which
// readers prefer.
constexpr const char* kEscapedSuffix = "-Escaped";

std::string PercentEscape(std::string_view bytes) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            c == '-' || c == '.' || c == '_' || c == '~' || c == '/') {
            out += ch;
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::optional<std::string> PercentUnescape(std::string_view text) {
    std::string out;
    const auto digit = [](char c) {
        return c >= '0' && c <= '9'   ? c - '0'
               : c >= 'a' && c <= 'f' ? c - 'a' + 10
               : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                      : -1;
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size()) {
            return std::nullopt;
        }
        const int hi = digit(text[i + 1]), lo = digit(text[i + 2]);
        if (hi < 0 || lo < 0) {
            return std::nullopt;
        }
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
    }
    return out;
}

} // namespace

void SetPathValue(KeyFile& kf, std::string_view group, const std::string& key,
                  const std::string& value) {
    if (utf8::IsValid(value)) {
        kf.Set(group, key, value);
        kf.Remove(group, key + kEscapedSuffix); // an older byte form would win
        return;
    }
    kf.Set(group, key, utf8::Displayable(value));
    kf.Set(group, key + kEscapedSuffix, PercentEscape(value));
}

std::string GetPathValue(const KeyFile& kf, std::string_view group, const std::string& key) {
    if (const auto escaped = kf.Get(group, key + kEscapedSuffix)) {
        if (const auto bytes = PercentUnescape(*escaped)) {
            return *bytes;
        }
    }
    return kf.Get(group, key).value_or("");
}

} // namespace korvane::shell

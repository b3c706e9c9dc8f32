#include "store/ini_document.h"

#include <algorithm>

#include "store/utf8.h"

namespace korvane {

namespace {

std::string_view Trim(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!s.empty() && blank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && blank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

std::string_view Unquote(std::string_view v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
        return v.substr(1, v.size() - 2);
    }
    return v;
}

} // namespace

std::string_view IniDocument::TrimName(std::string_view name) {
    return Trim(name);
}

IniDocument::Line IniDocument::ParseLine(std::string text) {
    Line line;
    const std::string_view whole = text;
    const auto at = [&](std::string_view part) {
        return static_cast<std::uint32_t>(part.data() - whole.data());
    };
    const auto size = [](std::string_view part) { return static_cast<std::uint32_t>(part.size()); };
    const std::string_view t = Trim(whole);
    if (!t.empty() && t.front() == '[') {
        line.kind = Line::Section;
        // Up to the last "]", so that a name like "Work [home]" survives.
        const std::size_t close = t.rfind(']');
        const std::string_view name = Trim(
            close == std::string_view::npos || close == 0 ? t.substr(1) : t.substr(1, close - 1));
        line.nameAt = at(name);
        line.nameSize = size(name);
    } else if (const std::size_t eq = t.find('='); eq != std::string_view::npos) {
        line.kind = Line::Entry;
        const std::string_view name = Trim(t.substr(0, eq));
        const std::string_view value = Unquote(Trim(t.substr(eq + 1)));
        line.nameAt = at(name);
        line.nameSize = size(name);
        line.valueAt = at(value);
        line.valueSize = size(value);
    }
    line.text = std::move(text);
    return line;
}

IniDocument IniDocument::Parse(std::string_view bytes) {
    IniDocument doc;
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        doc.bom_ = bytes.substr(0, 3);
        bytes.remove_prefix(3);
    }
    doc.lines_.reserve(static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n')) + 1);
    while (!bytes.empty()) {
        const std::size_t nl = bytes.find('\n');
        std::string_view raw = bytes.substr(0, nl);
        bytes = nl == std::string_view::npos ? std::string_view{} : bytes.substr(nl + 1);
        if (!raw.empty() && raw.back() == '\r') {
            raw.remove_suffix(1);
        }
        doc.lines_.push_back(ParseLine(std::string(raw)));
    }
    doc.Reindex();
    return doc;
}

std::string IniDocument::Serialize() const {
    std::string out = bom_;
    for (const Line& line : lines_) {
        out += line.text;
        out += "\r\n";
    }
    return out;
}

void IniDocument::Reindex() {
    sections_.clear();
    index_.clear();
    SectionIndex* current = nullptr;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const Line& line = lines_[i];
        if (line.kind == Line::Section) {
            if (current) {
                current->end = i;
            }
            current = nullptr;
            auto [it, inserted] = sections_.emplace(utf8::FoldCase(line.Name()), index_.size());
            if (inserted) {
                index_.push_back(SectionIndex{i, lines_.size(), {}, {}});
                current = &index_.back();
            }
        } else if (line.kind == Line::Entry && current) {
            if (current->keys.emplace(utf8::FoldCase(line.Name()), i).second) {
                current->order.push_back(i);
            }
        }
    }
    if (current) {
        current->end = lines_.size();
    }
}

const IniDocument::SectionIndex* IniDocument::FindSection(std::string_view section) const {
    const auto it = sections_.find(utf8::FoldCase(Trim(section)));
    return it == sections_.end() ? nullptr : &index_[it->second];
}

std::optional<std::string_view> IniDocument::Find(std::string_view section,
                                                  std::string_view key) const {
    const SectionIndex* s = FindSection(section);
    if (!s) {
        return std::nullopt;
    }
    const auto it = s->keys.find(utf8::FoldCase(Trim(key)));
    if (it == s->keys.end()) {
        return std::nullopt;
    }
    return lines_[it->second].Value();
}

bool IniDocument::Holds(std::string_view section, std::string_view key,
                        std::string_view value) const {
    const SectionIndex* s = FindSection(Trim(section));
    if (!s) {
        return false;
    }
    const auto it = s->keys.find(utf8::FoldCase(Trim(key)));
    if (it == s->keys.end()) {
        return false;
    }
    const Line& line = lines_[it->second];
    const std::string_view name = line.Name();
    const std::string_view text = line.text;
    return text.size() == name.size() + 1 + value.size() && text.starts_with(name) &&
           text[name.size()] == '=' && text.substr(name.size() + 1) == value;
}

std::vector<std::string> IniDocument::Sections() const {
    std::vector<std::string> names;
    names.reserve(index_.size());
    for (const SectionIndex& s : index_) {
        names.emplace_back(lines_[s.header].Name());
    }
    return names;
}

std::vector<std::string> IniDocument::Keys(std::string_view section) const {
    std::vector<std::string> names;
    if (const SectionIndex* s = FindSection(section)) {
        for (const std::size_t i : s->order) {
            names.emplace_back(lines_[i].Name());
        }
    }
    return names;
}

// A new key goes after the section's last entry, ahead of any blank lines
// that separate it from the next section.
std::size_t IniDocument::AppendPoint(const SectionIndex& s) const {
    std::size_t at = s.header + 1;
    for (std::size_t i = s.header + 1; i < s.end; ++i) {
        if (!Trim(lines_[i].text).empty()) {
            at = i + 1;
        }
    }
    return at;
}

bool IniDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
    section = Trim(section);
    key = Trim(key);
    const SectionIndex* s = FindSection(section);
    if (!s) {
        lines_.push_back(ParseLine("[" + std::string(section) + "]"));
        lines_.push_back(ParseLine(std::string(key) + "=" + std::string(value)));
        Reindex();
        return true;
    }
    if (const auto it = s->keys.find(utf8::FoldCase(key)); it != s->keys.end()) {
        Line& line = lines_[it->second];
        std::string text = std::string(line.Name()) + "=" + std::string(value);
        if (text == line.text) {
            return false;
        }
        line = ParseLine(std::move(text));
        return true;
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(AppendPoint(*s)),
                  ParseLine(std::string(key) + "=" + std::string(value)));
    Reindex();
    return true;
}

bool IniDocument::SetMany(std::string_view section,
                          const std::vector<std::pair<std::string, std::string>>& pairs) {
    if (pairs.empty()) {
        return false;
    }
    section = Trim(section);
    const SectionIndex* s = FindSection(section);
    if (!s) {
        lines_.push_back(ParseLine("[" + std::string(section) + "]"));
        Reindex();
        s = FindSection(section);
        if (!s) {
            return true; // cannot happen: the header just added is found by its own name
        }
    }
    bool changed = false;
    std::vector<Line> added;
    std::unordered_map<std::string, std::size_t> addedKeys; // folded -> index in added
    for (const auto& [untrimmed, value] : pairs) {
        const std::string_view key = Trim(untrimmed);
        std::string text = std::string(key) + "=" + value;
        const std::string folded = utf8::FoldCase(key);
        if (const auto it = s->keys.find(folded); it != s->keys.end()) {
            Line& line = lines_[it->second];
            text = std::string(line.Name()) + "=" + value;
            if (text != line.text) {
                line = ParseLine(std::move(text));
                changed = true;
            }
        } else if (const auto a = addedKeys.find(folded); a != addedKeys.end()) {
            // The key keeps the name it was first given, as two writes would.
            added[a->second] = ParseLine(std::string(added[a->second].Name()) + "=" + value);
        } else {
            addedKeys.emplace(folded, added.size());
            added.push_back(ParseLine(std::move(text)));
        }
    }
    if (!added.empty()) {
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(AppendPoint(*s)),
                      std::make_move_iterator(added.begin()), std::make_move_iterator(added.end()));
        changed = true;
    }
    Reindex();
    return changed;
}

bool IniDocument::RemoveKey(std::string_view section, std::string_view key) {
    const SectionIndex* s = FindSection(section);
    if (!s) {
        return false;
    }
    const std::string folded = utf8::FoldCase(Trim(key));
    bool changed = false;
    for (std::size_t i = s->end; i-- > s->header + 1;) {
        if (lines_[i].kind == Line::Entry && utf8::FoldCase(lines_[i].Name()) == folded) {
            lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(i));
            changed = true;
        }
    }
    if (changed) {
        Reindex();
    }
    return changed;
}

bool IniDocument::RemoveSection(std::string_view section) {
    // Every copy of the section goes, so that no later duplicate shows up in its place.
    const std::string folded = utf8::FoldCase(Trim(section));
    std::vector<Line> kept;
    kept.reserve(lines_.size());
    bool inRemoved = false;
    bool changed = false;
    for (Line& line : lines_) {
        if (line.kind == Line::Section) {
            inRemoved = utf8::FoldCase(line.Name()) == folded;
        }
        if (inRemoved) {
            changed = true;
        } else {
            kept.push_back(std::move(line));
        }
    }
    lines_ = std::move(kept);
    Reindex();
    return changed;
}

IniDocument::RenameResult IniDocument::RenameSection(std::string_view from, std::string_view to) {
    from = Trim(from);
    to = Trim(to);
    const std::string foldedFrom = utf8::FoldCase(from);
    if (utf8::FoldCase(to) != foldedFrom && FindSection(to)) {
        return RenameResult::NameTaken;
    }
    if (!FindSection(from)) {
        return RenameResult::NoSection; // a new empty section would be no rename
    }
    std::vector<Line> moved;
    moved.push_back(ParseLine("[" + std::string(to) + "]"));
    if (const SectionIndex* s = FindSection(from)) {
        for (const std::size_t i : s->order) {
            moved.push_back(lines_[i]); // the line as written: the value stays whole
        }
    }
    RemoveSection(from);
    lines_.insert(lines_.end(), std::make_move_iterator(moved.begin()),
                  std::make_move_iterator(moved.end()));
    Reindex();
    return RenameResult::Renamed;
}

} // namespace korvane

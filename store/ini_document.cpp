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

IniDocument::Line IniDocument::ParseLine(std::string_view whole) {
    Line line;
    line.data = whole.data();
    line.size = whole.size();
    const std::string_view t = Trim(whole);
    if (!t.empty() && t.front() == '[') {
        line.kind = Line::Section;
    } else if (t.find('=') != std::string_view::npos) {
        line.kind = Line::Entry;
    }
    return line;
}

std::string_view IniDocument::Line::Name() const {
    const std::string_view t = Trim(Text());
    if (kind == Section) {
        // Up to the last "]", so that a name like "Work [home]" survives.
        const std::size_t close = t.rfind(']');
        return Trim(close == std::string_view::npos || close == 0 ? t.substr(1)
                                                                  : t.substr(1, close - 1));
    }
    return kind == Entry ? Trim(t.substr(0, t.find('='))) : std::string_view{};
}

std::string_view IniDocument::Line::Value() const {
    if (kind != Entry) {
        return {};
    }
    const std::string_view t = Trim(Text());
    return Unquote(Trim(t.substr(t.find('=') + 1)));
}

IniDocument::Line IniDocument::NewLine(std::string text) {
    texts_.push_back(std::make_shared<const std::string>(std::move(text)));
    return ParseLine(*texts_.back());
}

IniDocument IniDocument::Parse(std::string text) {
    IniDocument doc;
    doc.texts_.push_back(std::make_shared<const std::string>(std::move(text)));
    std::string_view bytes = *doc.texts_.back();
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        doc.bom_ = bytes.substr(0, 3);
        bytes.remove_prefix(3);
    }
    doc.lines_.reserve(static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n')) + 1);
    std::size_t sections = 0;
    while (!bytes.empty()) {
        const std::size_t nl = bytes.find('\n');
        std::string_view raw = bytes.substr(0, nl);
        bytes = nl == std::string_view::npos ? std::string_view{} : bytes.substr(nl + 1);
        if (!raw.empty() && raw.back() == '\r') {
            raw.remove_suffix(1);
        }
        doc.lines_.push_back(ParseLine(raw));
        sections += doc.lines_.back().kind == Line::Section ? 1 : 0;
    }
    doc.index_.reserve(sections);
    doc.sections_.reserve(sections);
    doc.Reindex();
    return doc;
}

std::string IniDocument::Serialize() const {
    std::string out = bom_;
    for (const Line& line : lines_) {
        out += line.Text();
        out += "\r\n";
    }
    return out;
}

void IniDocument::Reindex() {
    sections_.clear();
    index_.clear();
    constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    std::size_t open = kNone;       // the section being read; none before the first and in copies
    std::vector<NamedLine> scratch; // one for all sections
    const auto close = [&](std::size_t end) {
        if (open != kNone) {
            index_[open].end = end;
            IndexKeys(index_[open], scratch);
        }
    };
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (lines_[i].kind != Line::Section) {
            continue;
        }
        close(i);
        open = kNone;
        // Only the first section of a name counts.
        if (sections_.emplace(utf8::FoldCase(lines_[i].Name()), index_.size()).second) {
            index_.push_back(SectionIndex{i, lines_.size(), {}});
            open = index_.size() - 1;
        }
    }
    close(lines_.size());
}

void IniDocument::IndexKeys(SectionIndex& s, std::vector<NamedLine>& scratch) const {
    scratch.clear();
    for (std::size_t i = s.header + 1; i < s.end; ++i) {
        if (lines_[i].kind == Line::Entry) {
            scratch.emplace_back(lines_[i].Name(), static_cast<std::uint32_t>(i));
        }
    }
    // Equal keys sort by line, so the first line of a key is the one kept.
    std::sort(scratch.begin(), scratch.end(), [](const NamedLine& a, const NamedLine& b) {
        const int order = utf8::CompareFolded(a.first, b.first);
        return order != 0 ? order < 0 : a.second < b.second;
    });
    scratch.erase(std::unique(scratch.begin(), scratch.end(),
                              [](const NamedLine& a, const NamedLine& b) {
                                  return utf8::CompareFolded(a.first, b.first) == 0;
                              }),
                  scratch.end());
    s.keys.clear();
    s.keys.reserve(scratch.size());
    for (const NamedLine& key : scratch) {
        s.keys.push_back(key.second);
    }
}

std::optional<std::size_t> IniDocument::FindKey(const SectionIndex& s, std::string_view key) const {
    const auto it = std::lower_bound(s.keys.begin(), s.keys.end(), key,
                                     [this](std::uint32_t line, std::string_view k) {
                                         return utf8::CompareFolded(lines_[line].Name(), k) < 0;
                                     });
    if (it != s.keys.end() && utf8::CompareFolded(lines_[*it].Name(), key) == 0) {
        return *it;
    }
    return std::nullopt;
}

std::vector<std::size_t> IniDocument::EntryOrder(const SectionIndex& s) const {
    std::vector<std::size_t> order(s.keys.begin(), s.keys.end());
    std::sort(order.begin(), order.end());
    return order;
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
    const std::optional<std::size_t> line = FindKey(*s, Trim(key));
    if (!line) {
        return std::nullopt;
    }
    return lines_[*line].Value();
}

bool IniDocument::Holds(std::string_view section, std::string_view key,
                        std::string_view value) const {
    const SectionIndex* s = FindSection(Trim(section));
    if (!s) {
        return false;
    }
    const std::optional<std::size_t> at = FindKey(*s, Trim(key));
    if (!at) {
        return false;
    }
    const Line& line = lines_[*at];
    const std::string_view name = line.Name();
    const std::string_view text = line.Text();
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
        for (const std::size_t i : EntryOrder(*s)) {
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
        if (!Trim(lines_[i].Text()).empty()) {
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
        lines_.push_back(NewLine("[" + std::string(section) + "]"));
        lines_.push_back(NewLine(std::string(key) + "=" + std::string(value)));
        Reindex();
        return true;
    }
    if (const std::optional<std::size_t> at = FindKey(*s, key)) {
        Line& line = lines_[*at];
        std::string text = std::string(line.Name()) + "=" + std::string(value);
        if (text == line.Text()) {
            return false;
        }
        line = NewLine(std::move(text));
        return true;
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(AppendPoint(*s)),
                  NewLine(std::string(key) + "=" + std::string(value)));
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
        lines_.push_back(NewLine("[" + std::string(section) + "]"));
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
        if (const std::optional<std::size_t> at = FindKey(*s, key)) {
            Line& line = lines_[*at];
            text = std::string(line.Name()) + "=" + value;
            if (text != line.Text()) {
                line = NewLine(std::move(text));
                changed = true;
            }
        } else if (const auto a = addedKeys.find(folded); a != addedKeys.end()) {
            // The key keeps the name it was first given, as two writes would.
            added[a->second] = NewLine(std::string(added[a->second].Name()) + "=" + value);
        } else {
            addedKeys.emplace(folded, added.size());
            added.push_back(NewLine(std::move(text)));
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
    const std::string_view trimmed = Trim(key);
    bool changed = false;
    for (std::size_t i = s->end; i-- > s->header + 1;) {
        if (lines_[i].kind == Line::Entry && utf8::CompareFolded(lines_[i].Name(), trimmed) == 0) {
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
    const std::string_view trimmed = Trim(section);
    std::vector<Line> kept;
    kept.reserve(lines_.size());
    bool inRemoved = false;
    bool changed = false;
    for (Line& line : lines_) {
        if (line.kind == Line::Section) {
            inRemoved = utf8::CompareFolded(line.Name(), trimmed) == 0;
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
    moved.push_back(NewLine("[" + std::string(to) + "]"));
    if (const SectionIndex* s = FindSection(from)) {
        for (const std::size_t i : EntryOrder(*s)) {
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

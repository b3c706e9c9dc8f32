#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace korvane {

// A parsed profile file that keeps every line as it was read, so a rewrite
// changes only the lines it means to change.
class IniDocument {
  public:
    static IniDocument Parse(std::string text);
    std::string Serialize() const; // CR LF line ends

    // Names lose blanks and tabs at either end, on reading a file and on
    // every lookup and write alike, so " Work " and "Work" are one name.
    static std::string_view TrimName(std::string_view name);

    // Reads: the first section of a name and the first key in it count.
    // The value stays valid while the document is not changed.
    std::optional<std::string_view> Find(std::string_view section, std::string_view key) const;
    // Whether Set would leave the text as it is.
    bool Holds(std::string_view section, std::string_view key, std::string_view value) const;
    std::vector<std::string> Sections() const;
    std::vector<std::string> Keys(std::string_view section) const;

    // Writes; each returns whether anything changed.
    bool Set(std::string_view section, std::string_view key, std::string_view value);
    // Several keys of one section; new ones are appended together, in order.
    bool SetMany(std::string_view section,
                 const std::vector<std::pair<std::string, std::string>>& pairs);
    bool RemoveKey(std::string_view section, std::string_view key);
    bool HasSection(std::string_view section) const { return FindSection(section) != nullptr; }
    bool RemoveSection(std::string_view section);

    enum class RenameResult { Renamed, NameTaken, NoSection };
    // Moves every key of section from (the first copy counts) into a new
    // section named to at the end, and removes every copy of from; all in
    // this one document, so a file is never without either. NameTaken, with
    // nothing changed, when another section is already named to; NoSection,
    // with nothing changed, when there is no section from.
    RenameResult RenameSection(std::string_view from, std::string_view to);

  private:
    // A line is a part of the file as read (or of a line written since); its
    // name and value are found in it when asked for. Parsing a large
    // catalogue then makes no allocation per line and little memory.
    struct Line {
        enum Kind : std::uint8_t { Other, Section, Entry };
        const char* data = nullptr;
        std::size_t size = 0;
        Kind kind = Other;
        std::string_view Text() const { return {data, size}; } // without its line end
        std::string_view Name() const;                         // section or key name, trimmed
        std::string_view Value() const;                        // entries: trimmed and unquoted
    };
    struct SectionIndex {
        std::size_t header = 0;
        std::size_t end = 0; // one past its last line
        // The first line of each key, in the order of the folded keys: one
        // allocation per section, where a hash map would make one per key.
        std::vector<std::uint32_t> keys;
    };

    static Line ParseLine(std::string_view text);
    // A line of new text, kept alive by this document and its copies.
    Line NewLine(std::string text);
    void Reindex();
    using NamedLine = std::pair<std::string_view, std::uint32_t>;
    void IndexKeys(SectionIndex& s, std::vector<NamedLine>& scratch) const;
    // The line of a key (trimmed), if the section has it.
    std::optional<std::size_t> FindKey(const SectionIndex& s, std::string_view key) const;
    std::vector<std::size_t> EntryOrder(const SectionIndex& s) const; // first of each key
    std::size_t AppendPoint(const SectionIndex& s) const;
    const SectionIndex* FindSection(std::string_view section) const;

    std::string bom_;
    // Every line's text lives in one of these; they never change, so copies
    // of a document share them.
    std::vector<std::shared_ptr<const std::string>> texts_;
    std::vector<Line> lines_;
    std::unordered_map<std::string, std::size_t> sections_; // folded name -> index_
    std::vector<SectionIndex> index_; // first occurrence of each name, file order
};

} // namespace korvane

#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvane::shell {

// A key file as desktop entries and this platform's link files are written:
// "[Group]" lines, "key=value" lines and "#" comments, names compared exactly.
// Every line is kept as it was read, so a rewrite changes only the lines it
// means to change (unknown keys, other groups, localized keys and comments
// all survive). The rules follow GLib's key files, which desktops read.
class KeyFile {
  public:
    // nullopt when the text is not a key file (a line that is no group,
    // entry or comment, or an entry before the first group).
    static std::optional<KeyFile> Parse(std::string_view text);
    static std::optional<KeyFile> Load(const std::filesystem::path& file);

    std::string Serialize() const;
    // One atomic replacement of the file; false when it could not be written.
    bool Save(const std::filesystem::path& file) const;
    // The same, throwing FileError with the reason.
    void Write(const std::filesystem::path& file) const;

    bool HasGroup(std::string_view group) const;
    // The value with its escapes resolved; nullopt when the key is absent or
    // its value is not UTF-8 text.
    std::optional<std::string> Get(std::string_view group, std::string_view key) const;
    // A whole decimal number; nullopt otherwise.
    std::optional<int> GetInteger(std::string_view group, std::string_view key) const;

    // Writes the value escaped, in place when the key exists, else at the
    // end of its group (made at the end of the file when missing).
    void Set(std::string_view group, std::string_view key, std::string_view value);
    void Remove(std::string_view group, std::string_view key);

  private:
    struct Line {
        enum Kind { Other, Group, Entry } kind = Other;
        std::string text;  // as read
        std::string name;  // group or key name
        std::string value; // entries: as written, escapes unresolved
    };
    // The entry line of a key (the last one counts, as GLib reads), or npos.
    std::size_t FindEntry(std::string_view group, std::string_view key) const;

    std::vector<Line> lines_;
};

// A value as a key file stores it: leading blanks, line breaks, tabs and
// backslashes escaped.
std::string EscapeKeyFileValue(std::string_view value);
// The stored form read back. Backslashes that start no escape are kept, and
// a lone one at the end is dropped, as desktops read them.
std::string UnescapeKeyFileValue(std::string_view stored);

// A path as a key file keeps it. Paths are bytes here and key files UTF-8:
// one that is not UTF-8 is written readable (with replacement characters)
// under key and byte for byte, percent-escaped, under key + "-Escaped",
// which GetPathValue prefers.
void SetPathValue(KeyFile& kf, std::string_view group, const std::string& key,
                  const std::string& value);
std::string GetPathValue(const KeyFile& kf, std::string_view group, const std::string& key);

} // namespace korvane::shell

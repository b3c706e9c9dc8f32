#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace korvane::utf8 {

// Length in bytes of the character starting at text[pos]; a byte that does not
// start a well-formed sequence counts as a character of its own.
std::size_t CharLength(std::string_view text, std::size_t pos);

// The first maxChars characters of text (whole characters only).
std::string_view FirstChars(std::string_view text, std::size_t maxChars);

// The longest prefix of at most maxBytes bytes that does not split a character.
std::string_view FirstBytes(std::string_view text, std::size_t maxBytes);

// Whether text is well-formed UTF-8.
bool IsValid(std::string_view text);

// text with every malformed byte shown as U+FFFD, for display.
std::string Displayable(std::string_view text);

// A file name for people: a name that is not UTF-8 (from an older system)
// shows its stray bytes as Latin-1 letters and says so, as file managers do:
// "caf\xe9" is "café (invalid encoding)".
std::string DisplayFileName(std::string_view name);

// Simple Unicode case folding (lower case); malformed bytes are kept as they are.
std::string FoldCase(std::string_view text);

// Orders as FoldCase(a) against FoldCase(b), byte by byte, without making them.
int CompareFolded(std::string_view a, std::string_view b);

// Case-insensitive equality under FoldCase.
bool EqualFolded(std::string_view a, std::string_view b);

// Paths from and to the program's UTF-8 text. Plain std::string conversions
// of std::filesystem::path are not UTF-8 on every platform.
std::filesystem::path ToPath(std::string_view text);
std::string FromPath(const std::filesystem::path& path);

} // namespace korvane::utf8

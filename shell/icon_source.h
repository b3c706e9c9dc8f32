#pragma once

#include <filesystem>
#include <string>

namespace korvane::shell {

// Where the program's read-only files lie: the icon collection and the
// program's own icon.
std::filesystem::path ProgramDataFolder();

// The program's help (HTML): in the package's doc folder when installed,
// beside the program otherwise.
std::filesystem::path HelpFile();

// The icon collection the chooser offers by default, as a catalogue names it:
// relative to the data folder, so that moving or reinstalling the program
// keeps every batch icon taken from it.
inline constexpr const char* kIconCollection = "Icons/korvane.ico";

// The program's own icon, for desktop shortcuts of batches without one.
std::filesystem::path ProgramIconFile();

// The program's icon as a desktop entry names it: the installed icon theme's
// name (the application ID), or the icon file beside a portable copy.
std::string ProgramIconName();

// How a chosen icon file is stored in IconFile: the collection by its
// relative name, anything else as chosen.
std::string StoredIconSource(const std::string& chosen);

// What a stored IconFile names now: a relative path with a folder part lies
// in the data folder; an absolute path to a collection that has gone (the
// program folder moved) is the collection now; anything else (an absolute
// path, an icon theme name) is returned as it is.
std::string ResolveIconSource(const std::string& stored);

} // namespace korvane::shell

#pragma once

// How profile files hold text on disk. The program works in UTF-8; files on
// Windows are in the user's ANSI code page, as other copies of the program
// and the system's own profile API write them (a file that starts with the
// UTF-8 byte order mark stays UTF-8). One implementation per platform.

#include <string>
#include <string_view>

namespace korvane {

// The file's bytes as UTF-8 text.
std::string ProfileBytesToText(std::string bytes);

// UTF-8 text as the file's bytes.
std::string TextToProfileBytes(std::string text);

// False when the file's encoding has no room for some character of text.
bool ProfileCanHold(std::string_view text);

} // namespace korvane

// Profile files here are UTF-8, like the program's own text.
#include "store/profile_encoding.h"

namespace korvane {

std::string ProfileBytesToText(std::string bytes) {
    return bytes;
}

std::string TextToProfileBytes(std::string text) {
    return text;
}

bool ProfileCanHold(std::string_view) {
    return true;
}

} // namespace korvane

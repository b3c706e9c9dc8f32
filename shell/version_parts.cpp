#include "shell/version_parts.h"

namespace korvane::shell {

std::string JoinVersionParts(const std::array<unsigned, 4>& numbers, unsigned parts) {
    std::string text;
    for (unsigned i = 0; i < 4; ++i) {
        if (parts & (1u << i)) {
            if (!text.empty()) {
                text += '.';
            }
            text += std::to_string(numbers[i]);
        }
    }
    return text;
}

} // namespace korvane::shell

#pragma once

#include <array>
#include <string>

namespace korvane::shell {

// The numbers (major, minor, release, build) that parts selects (bits 1, 2,
// 4, 8), in that order, joined by ".".
std::string JoinVersionParts(const std::array<unsigned, 4>& numbers, unsigned parts);

} // namespace korvane::shell

#include "gui/system_icons.h"

namespace korvane {

std::optional<int> SystemIconCount(const QString&) {
    return std::nullopt;
}

QIcon SystemIcon(const QString&, int) {
    return {};
}

QIcon SystemFileIcon(const QString&) {
    return {};
}

QString SystemTypeName(const QString&) {
    return {};
}

} // namespace korvane

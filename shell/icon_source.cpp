#include "shell/icon_source.h"

#include "shell/shell.h"
#include "shell/version.h"
#include "store/utf8.h"

#include <algorithm>
#include <system_error>

namespace fs = std::filesystem;

namespace korvane::shell {

fs::path ProgramDataFolder() {
    // An installed program names its data folder; a portable one has it beside itself.
    const fs::path installed = utf8::ToPath(KORVANE_DATA_DIR);
    return installed.empty() ? ExecutablePath().parent_path() : installed;
}

fs::path HelpFile() {
    const fs::path installed = utf8::ToPath(KORVANE_HELP_DIR);
    return (installed.empty() ? ExecutablePath().parent_path() / "help" : installed) / "index.html";
}

fs::path ProgramIconFile() {
    return ProgramDataFolder() / "Icons" / KORVANE_PROGRAM_ICON;
}

std::string ProgramIconName() {
    return std::string_view(KORVANE_DATA_DIR).empty() ? utf8::FromPath(ProgramIconFile())
                                                      : std::string(version::kAppId);
}

namespace {

fs::path Collection() {
    return ProgramDataFolder() / utf8::ToPath(kIconCollection);
}

} // namespace

std::string StoredIconSource(const std::string& chosen) {
    if (chosen.empty()) {
        return chosen;
    }
    std::error_code ec;
    const fs::path path = utf8::ToPath(chosen);
    if (path.is_absolute() && fs::equivalent(path, Collection(), ec) && !ec) {
        return kIconCollection;
    }
    return chosen;
}

std::string ResolveIconSource(const std::string& stored) {
    if (stored.empty()) {
        return stored;
    }
    std::string text = stored;
    const fs::path path = utf8::ToPath(text);
    std::error_code ec;
    if (path.is_relative()) {
        std::replace(text.begin(), text.end(), '\\', '/');
        if (text.find('/') == std::string::npos) {
            return stored; // a bare name: an icon of the icon theme
        }
        return utf8::FromPath(ProgramDataFolder() / utf8::ToPath(text));
    }
    const fs::path collection = utf8::ToPath(kIconCollection);
    if (!fs::exists(path, ec) && path.filename() == collection.filename() &&
        path.parent_path().filename() == collection.parent_path().filename()) {
        return utf8::FromPath(Collection());
    }
    return stored;
}

} // namespace korvane::shell

// What link files and copied desktop entries say of their items, on the
// freedesktop desktops: what they start, their icon, name and comment.
#include "shell/desktop_entry.h"
#include "shell/key_file.h"
#include "shell/link_file.h"
#include "shell/shell.h"
#include "shell/shell_words.h"
#include "store/utf8.h"

#include <algorithm>

namespace fs = std::filesystem;

namespace korvane::shell {

namespace {

std::string KeyString(const KeyFile& kf, const char* group, const char* key) {
    return kf.Get(group, key).value_or("");
}

bool IsDesktopEntry(const fs::path& file) {
    return utf8::EqualFolded(utf8::FromPath(file.extension()), ".desktop");
}

} // namespace

namespace {

// The program a desktop entry runs, found on PATH as the desktop finds it.
std::string EntryProgram(const KeyFile& kf) {
    const std::vector<std::string> argv = SplitShellWords(KeyString(kf, kDesktopGroup, "Exec")).value_or(std::vector<std::string>{});
    if (argv.empty()) {
        return "";
    }
    const auto found = FindProgramInPath(argv[0]);
    return found ? found->string() : argv[0];
}

} // namespace

std::string ReadLinkTarget(const fs::path& linkFile) {
    if (IsDesktopEntry(linkFile)) {
        const auto kf = KeyFile::Load(linkFile);
        return kf ? EntryProgram(*kf) : std::string();
    }
    const auto link = ReadLinkFile(linkFile);
    return link ? link->target : std::string();
}

std::string ReadLinkIconLocation(const fs::path& linkFile, int* index) {
    if (index) {
        *index = 0;
    }
    if (IsDesktopEntry(linkFile)) {
        const auto kf = KeyFile::Load(linkFile);
        return kf ? KeyString(*kf, kDesktopGroup, "Icon") : std::string();
    }
    const auto link = ReadLinkFile(linkFile);
    if (link && index) {
        *index = link->iconIndex;
    }
    return link ? link->iconFile : std::string();
}

namespace {

std::string DesktopEntryString(const fs::path& file, const char* key) {
    const auto kf = KeyFile::Load(file);
    return kf ? LocalizedString(*kf, kDesktopGroup, key, MessageLocales()).value_or("") : "";
}

} // namespace

std::string ReadLinkDisplayName(const fs::path& linkFile) {
    return IsDesktopEntry(linkFile) ? DesktopEntryString(linkFile, "Name") : "";
}

std::string ReadLinkComment(const fs::path& linkFile) {
    if (IsDesktopEntry(linkFile)) {
        return DesktopEntryString(linkFile, "Comment");
    }
    const auto link = ReadLinkFile(linkFile);
    return link ? link->description : std::string();
}

std::string ReadWindowClass(const fs::path& linkFile) {
    if (!IsDesktopEntry(linkFile)) {
        return "";
    }
    const auto kf = KeyFile::Load(linkFile);
    const std::string named = kf ? KeyString(*kf, kDesktopGroup, "StartupWMClass") : "";
    return named.empty() ? linkFile.stem().string() : named;
}

LinkSummary ReadLinkSummary(const fs::path& linkFile) {
    LinkSummary summary;
    if (IsDesktopEntry(linkFile)) {
        const auto kf = KeyFile::Load(linkFile);
        if (kf) {
            const std::vector<std::string> locales = MessageLocales();
            summary.displayName = LocalizedString(*kf, kDesktopGroup, "Name", locales).value_or("");
            summary.comment = LocalizedString(*kf, kDesktopGroup, "Comment", locales).value_or("");
            summary.target = EntryProgram(*kf);
            summary.iconFile = KeyString(*kf, kDesktopGroup, "Icon");
        }
        return summary;
    }
    if (const auto link = ReadLinkFile(linkFile)) {
        summary.comment = link->description;
        summary.target = link->target;
        summary.iconFile = link->iconFile;
        summary.iconIndex = link->iconIndex;
    }
    return summary;
}

} // namespace korvane::shell

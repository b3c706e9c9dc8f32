#include "shell/link_sheet.h"

#include "shell/key_file.h"
#include "shell/link_file.h"
#include "shell/shell_words.h"

#include <system_error>

namespace fs = std::filesystem;

namespace korvane::shell {

namespace {

bool Blank(const std::string& text) {
    return text.find_first_not_of(" \t\n") == std::string::npos;
}

// Sets a key, or removes it when the value is empty, as links are written.
void Put(KeyFile& kf, const char* group, const std::string& key, const std::string& value,
         bool path) {
    if (value.empty()) {
        kf.Remove(group, key);
        kf.Remove(group, key + "-Escaped");
    } else if (path) {
        SetPathValue(kf, group, key, value);
    } else {
        kf.Set(group, key, value);
    }
}

} // namespace

std::optional<LinkSheet> ReadLinkSheet(const fs::path& file) {
    const auto kf = KeyFile::Load(file);
    if (!kf) {
        return std::nullopt;
    }
    LinkSheet sheet;
    if (const auto link = kf->HasGroup(kLinkGroup) ? ReadLinkFile(file) : std::nullopt) {
        sheet.kind = LinkSheet::Kind::Link;
        sheet.target = link->target;
        sheet.arguments = link->arguments;
        sheet.startIn = link->workingDirectory;
        sheet.comment = link->description;
        sheet.iconFile = link->iconFile;
        sheet.iconIndex = link->iconIndex;
        return sheet;
    }
    if (kf->HasGroup(kDesktopGroup)) {
        sheet.kind = LinkSheet::Kind::DesktopEntry;
        sheet.name = kf->Get(kDesktopGroup, "Name").value_or("");
        sheet.target = kf->Get(kDesktopGroup, "Exec").value_or("");
        sheet.startIn = kf->Get(kDesktopGroup, "Path").value_or("");
        sheet.comment = kf->Get(kDesktopGroup, "Comment").value_or("");
        sheet.iconFile = kf->Get(kDesktopGroup, "Icon").value_or("");
        return sheet;
    }
    return std::nullopt;
}

std::string CheckLinkSheet(const LinkSheet& sheet) {
    std::error_code ec;
    if (!sheet.startIn.empty() && !fs::is_directory(sheet.startIn, ec)) {
        return "The folder \"" + sheet.startIn + "\" does not exist.";
    }
    if (sheet.kind == LinkSheet::Kind::Link) {
        if (Blank(sheet.target)) {
            return "The target is empty: the item would start nothing.";
        }
        if (!Blank(sheet.arguments) && !SplitShellWords(sheet.arguments)) {
            return "The arguments cannot be split into words: a quote is not closed, or a "
                   "backslash ends them.";
        }
        return {};
    }
    if (Blank(sheet.target) || !SplitShellWords(sheet.target)) {
        return "The command cannot be split into words: it is empty, a quote is not closed, or "
               "a backslash ends it.";
    }
    return {};
}

std::string LinkSheetWarning(const LinkSheet& sheet) {
    std::error_code ec;
    if (sheet.kind == LinkSheet::Kind::Link && !sheet.target.empty() &&
        sheet.target.find("://") == std::string::npos) {
        const fs::path target(sheet.target);
        const bool found = target.has_parent_path() ? fs::exists(target, ec)
                                                    : FindProgramInPath(sheet.target).has_value();
        if (!found) {
            return "The target does not exist (yet): the item starts nothing until it does.";
        }
    }
    return {};
}

bool WriteLinkSheet(const fs::path& file, const LinkSheet& sheet) {
    auto kf = KeyFile::Load(file);
    if (!kf) {
        return false;
    }
    if (sheet.kind == LinkSheet::Kind::Link) {
        Put(*kf, kLinkGroup, "Target", sheet.target, true);
        Put(*kf, kLinkGroup, "WorkingDirectory", sheet.startIn, true);
        Put(*kf, kLinkGroup, "Arguments", sheet.arguments, true);
        Put(*kf, kLinkGroup, "Description", sheet.comment, false);
        Put(*kf, kLinkGroup, "IconFile", sheet.iconFile, true);
        Put(*kf, kLinkGroup, "IconIndex",
            sheet.iconFile.empty() ? std::string() : std::to_string(sheet.iconIndex), false);
    } else {
        // Name is required by the format: an empty one keeps the old.
        if (!sheet.name.empty()) {
            kf->Set(kDesktopGroup, "Name", sheet.name);
        }
        Put(*kf, kDesktopGroup, "Exec", sheet.target, false);
        Put(*kf, kDesktopGroup, "Path", sheet.startIn, false);
        Put(*kf, kDesktopGroup, "Comment", sheet.comment, false);
        Put(*kf, kDesktopGroup, "Icon", sheet.iconFile, false);
    }
    return kf->Save(file);
}

} // namespace korvane::shell

// Desktop shortcuts on the freedesktop desktops: desktop entries in the
// desktop folder.
#include "shell/desktop_link.h"

#include "shell/desktop_entry.h"
#include "shell/gio_module.h"
#include "shell/key_file.h"
#include "shell/link_file.h"
#include "shell/shell_words.h"
#include "store/errors.h"
#include "store/file_io.h"
#include "store/utf8.h"

#include <algorithm>
#include <system_error>

namespace fs = std::filesystem;

namespace korvane::shell {

const char* const kDesktopLinkExtension = ".desktop";

std::string DesktopLinkName(const std::string& name) {
    std::string file = name;
    std::replace(file.begin(), file.end(), '/', '-');
    std::replace(file.begin(), file.end(), '\0', '-');
    // A name that begins with "." would be a hidden file: no desktop shows it.
    const std::size_t shown = file.find_first_not_of('.');
    file.erase(0, shown == std::string::npos ? file.size() : shown);
    return file.empty() ? "-" : file;
}

void WriteDesktopLink(const fs::path& file, const std::string& name, const fs::path& target,
                      const std::vector<std::string>& arguments, int iconIndex,
                      const std::string& iconFile) {
    KeyFile kf = NewApplicationEntry(name, "Start the programs of the batch \"" + name + "\"",
                                     ExecLine(target.string(), arguments));
    const std::string folder = FolderPart(target.string());
    if (!folder.empty()) {
        kf.Set(kDesktopGroup, "Path", folder);
    }
    if (!iconFile.empty()) {
        kf.Set(kDesktopGroup, "Icon", iconFile);
        kf.Set(kDesktopGroup, "X-Korvane-IconIndex", std::to_string(iconIndex));
    }
    try {
        MakeFolders(file.parent_path());
        kf.Write(file);
    } catch (const FileError& error) {
        throw Error("The shortcut " + utf8::FromPath(file) + " could not be written: " +
                    error.Reason());
    }
    // Desktops run only entries that are executable, and some also ask for
    // the trusted mark before they launch one.
    std::error_code ec;
    fs::permissions(file, fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec,
                    fs::perm_options::add, ec);
    if (const KorvaneGio* gio = GioServices()) {
        (void)gio->markTrusted(file.c_str());
    }
}

std::optional<DesktopLinkCommand> ReadDesktopLink(const fs::path& file) {
    const auto kf = KeyFile::Load(file);
    if (!kf || kf->Get(kDesktopGroup, "Type") != "Application") {
        return std::nullopt;
    }
    const auto words = SplitShellWords(kf->Get(kDesktopGroup, "Exec").value_or(""));
    if (!words || words->empty()) {
        return std::nullopt;
    }
    DesktopLinkCommand command;
    for (std::string word : *words) {
        // The Exec line's escape of "%".
        for (std::size_t at = word.find("%%"); at != std::string::npos;
             at = word.find("%%", at + 1)) {
            word.erase(at, 1);
        }
        if (command.program.empty()) {
            command.program = word;
        } else {
            command.arguments.push_back(std::move(word));
        }
    }
    return command;
}

} // namespace korvane::shell

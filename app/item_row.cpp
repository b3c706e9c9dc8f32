#include "app/item_row.h"

#include "shell/shell.h"
#include "store/utf8.h"

namespace korvane {

std::string ApplicationRow::LookupKey() const {
    return target.empty() ? utf8::FromPath(file) : target;
}

std::string ItemCaption(const std::filesystem::path& file) {
    std::string caption = shell::ReadLinkDisplayName(file);
    return caption.empty() ? utf8::DisplayFileName(utf8::FromPath(file.stem())) : caption;
}

ApplicationRow DescribeApplication(const ProgramFiles& files, const std::string& batch,
                                   const std::string& folderField) {
    ApplicationRow row;
    row.folder = ItemFolder(BatchFolder(files, batch), folderField);
    const std::string found = row.folder ? FindItemFile(*row.folder) : std::string();
    if (found.empty()) {
        return row;
    }
    const std::filesystem::path name = utf8::ToPath(found);
    row.file = *row.folder / name;
    // The file is read once for all the row shows of it.
    const shell::LinkSummary link = shell::ReadLinkSummary(row.file);
    row.caption = link.displayName.empty() ? utf8::DisplayFileName(utf8::FromPath(name.stem()))
                                           : link.displayName;
    row.comment = link.comment;
    row.target = link.target;
    row.isApplication = name.extension() == ".desktop" ||
                        (!row.target.empty() && shell::IsProgramFile(utf8::ToPath(row.target)));
    row.iconFile = link.iconFile;
    row.iconIndex = link.iconIndex;
    return row;
}

} // namespace korvane

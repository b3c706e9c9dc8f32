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
    row.caption = ItemCaption(row.file);
    row.comment = shell::ReadLinkComment(row.file);
    row.target = shell::ReadLinkTarget(row.file);
    row.isApplication = name.extension() == ".desktop" ||
                        (!row.target.empty() && shell::IsProgramFile(utf8::ToPath(row.target)));
    row.iconFile = shell::ReadLinkIconLocation(row.file, &row.iconIndex);
    return row;
}

} // namespace korvane

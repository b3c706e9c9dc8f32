#include "store/file_io.h"

namespace korvane {

FileIdentity ReplaceFileLocked(const std::filesystem::path& path, std::string_view contents) {
    FolderLock lock(path.parent_path());
    return ReplaceFileAtomically(path, contents);
}

} // namespace korvane

#pragma once

#include "store/catalogue.h"

#include <filesystem>
#include <optional>
#include <string>

namespace korvane {

// What a row of the item list says of an application item, read from its
// folder and link file; no widget is involved.
struct ApplicationRow {
    std::optional<std::filesystem::path> folder; // none for an entry naming no usable folder
    std::filesystem::path file;                  // the link file; empty when the folder has none
    std::string caption;  // the link file's name without extension, readable by people
    std::string target;   // what the link starts; empty when unknown
    std::string iconFile; // the link's own icon, if it names one
    int iconIndex = 0;
    // What the row's type and icon are looked up by: the target, else the file.
    std::string LookupKey() const;
};

ApplicationRow DescribeApplication(const ProgramFiles& files, const std::string& batch,
                                   const std::string& folderField);

} // namespace korvane

#pragma once

#include "store/catalogue.h"

#include <filesystem>
#include <optional>
#include <string>

namespace korvane {

// What a row of the item list says of an application item, read from its
// folder and link file; no widget is involved. The editor's rows and the
// startup menu's entries show it.
struct ApplicationRow {
    std::optional<std::filesystem::path> folder; // none for an entry naming no usable folder
    std::filesystem::path file;                  // the link file; empty when the folder has none
    // What people call it: a desktop entry's Name=, else the link file's
    // name without extension, readable.
    std::string caption;
    std::string comment;        // a desktop entry's Comment=, a link's description
    std::string target;         // what the link starts; empty when unknown
    bool isApplication = false; // a desktop entry or a program, not a document
    std::string iconFile;       // the link's own icon, if it names one
    int iconIndex = 0;
    // What the row's type and icon are looked up by: the target, else the file.
    std::string LookupKey() const;
};

// What people call the item of a link file: a desktop entry's Name=, else
// the file's name without extension, readable.
std::string ItemCaption(const std::filesystem::path& file);

ApplicationRow DescribeApplication(const ProgramFiles& files, const std::string& batch,
                                   const std::string& folderField);

} // namespace korvane

#pragma once

#include "store/ini_file.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

// Where a copy of the program keeps its state (the program folder): a
// portable copy beside its executable; an installed program (a build made
// for installing, never judged by what is writable) in the user's data
// folder, $XDG_DATA_HOME/korvane/ or ~/.local/share/korvane/.
std::filesystem::path StateFolder(const std::filesystem::path& executable);
std::filesystem::path InstalledStateFolder(); // the rule for an installed program
bool IsInstalledBuild();

// The files every mode works on, all in the state folder, which the file
// layer guards: no symbolic link below it is followed.
struct ProgramFiles {
    // The state folder of the executable, made (mode 0700) when an
    // installed program runs for the first time.
    explicit ProgramFiles(const std::filesystem::path& executable);
    ProgramFiles(const std::filesystem::path& executable, const std::filesystem::path& folder);

    std::filesystem::path executable;
    std::filesystem::path folder;     // the program folder
    std::filesystem::path layoutFile; // <executable name>.prm

  private:
    TIniFile catalogueFile_;
    friend TIniFile& CatalogueForEdit(ProgramFiles& files);

  public:
    // batches.lst, to read: its batches change only through the edits of
    // store/batch_edit.h, which check that the batch is still there.
    const TIniFile& catalogue;
    TIniFile settings; // <executable name>.ini, section "Basic"
};

inline constexpr std::string_view kSettingsSection = "Basic";

enum class TItemKind : std::uint8_t {
    ikFile = 0,
    ikInterval = 1,
    ikUnknown = 2, // an entry of any other kind; it is passed over
};

// One decoded item entry: "File;<folder>;<state>" or "Interval;<time>;<state>".
struct tqAppInfo {
    TItemKind Kind = TItemKind::ikUnknown;
    double Time = 0.0;
    std::string Folder;
    std::array<std::string, 3> Fields;
    bool Active = false;
};

// Throws ConvertError when a pause's time is not clock-time text.
void DecodeItemEntry(std::string_view entryText, tqAppInfo& record);

// Decodes Item0, Item1, ... of a batch up to the first empty one and hands
// each to visit, which returns false to stop. Throws what decoding throws.
void ForEachItem(const TIniFile& catalogue, std::string_view batch,
                 const std::function<bool(int index, const tqAppInfo& item)>& visit);

// "Item" + n, the key of the item at zero-based position n.
std::string ItemKey(int n);

// Program folder / "Shortcuts" / ID of the batch (an empty ID for a batch
// without a section).
std::filesystem::path BatchFolder(const ProgramFiles& files, std::string_view batchName);

// The item folder named by an entry's folder field ("417\" or "417/"), or
// nullopt when the field would lead out of the batch folder.
std::optional<std::filesystem::path> ItemFolder(const std::filesystem::path& batchFolder,
                                                std::string_view folderField);

// The name of the one file in an item folder: of several, the greatest name
// compared without regard to case; "" for a missing or empty folder, and for
// one that is a link or cannot be read.
std::string FindItemFile(const std::filesystem::path& itemFolder);

// What an application item's folder holds, as a launch needs to know it.
struct ItemFileLookup {
    enum class State {
        Found,   // file is the item's file
        Empty,   // the folder is missing or holds no file
        Refused, // a link, a pipe or the like where the folder or file should be
    };
    State state = State::Empty;
    std::filesystem::path folder; // the item folder, when the entry names one
    std::filesystem::path file;   // Found: the file
    std::string reason;           // Refused: why, for people
};
ItemFileLookup LookUpItemFile(const std::filesystem::path& batchFolder,
                              std::string_view folderField);

// One row of a batch list.
struct BatchRow {
    std::string name;
    std::string id; // as read with the row: what edits check the batch by
    std::string iconFile;
    int iconIndex = 0;
};

// The batches in catalogue order; with startupOnly, only those shown in the
// startup menu.
std::vector<BatchRow> ListBatchRows(const TIniFile& catalogue, bool startupOnly);

// The row to preselect: the first caption equal to DefaultBatch ignoring case,
// else 0.
int DefaultBatchIndex(const TIniFile& settings, const std::vector<std::string>& captions);
// The row to preselect as DefaultBatchIndex does, but -1 when DefaultBatch
// names a batch that is not among captions (renamed or deleted by another
// program): then nothing may be launched or saved in its name.
int FindDefaultBatch(const TIniFile& settings, const std::vector<std::string>& captions);
// Throws Error("Unable to read <file>: <reason>") when the file exists but
// cannot be read: reads would take it for an empty one.
void CheckReadable(const TIniFile& file);
// Whether the catalogue has a batch of this name (ignoring case and blanks
// at either end).
bool BatchExists(const TIniFile& catalogue, std::string_view batch);

// Why the state folder must not be used, or nullopt when it may: it, its
// batches.lst and its Shortcuts/ must be the user's (or root's) and writable
// by nobody else, as ssh asks of its keys, since whoever can write them
// decides what runs as the user.
std::optional<std::string> StateFolderProblem(const ProgramFiles& files);

} // namespace korvane

#pragma once
// The world one cell of the command × fault matrix runs in: a state folder
// with two batches, programs and files outside it to add and launch, a
// sentinel tree that no command may touch, and the fault of the cell.
#include "store/catalogue.h"
#include "test_support.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace korvane::test {

enum class Fault {
    None,
    DeletedMeanwhile,  // another program deletes the batch while the command's dialog is open
    RenamedMeanwhile,  // ... renames it
    ReadOnlyCatalogue, // batches.lst without any write bit
    ReadOnlyFolders,   // Shortcuts/ and the batch's folder read-only (an ordinary user)
    FullDisk,          // the state folder's disk full (a small tmpfs)
    NoInodes,          // ... no inode left on it
    LinkedItemFolder,  // an item folder is a link into the sentinel tree
    LinkedBatchFolder, // the batch folder is a link into the sentinel tree
    PipeCatalogue,     // a named pipe where batches.lst should be
    PipeSettings,      // ... korvane.ini
    PipeLink,          // ... an item's link file
};
const char* FaultName(Fault fault);
bool DuringDialog(Fault fault);
bool OnSmallDisk(Fault fault);

// The small disks of the full-disk faults, mounted by the test's main when
// it runs as root; empty paths otherwise.
struct SmallDisks {
    std::filesystem::path full;   // room for the files, then filled
    std::filesystem::path inodes; // few inodes, then all used
};
SmallDisks& Disks();

class World {
  public:
    // The state folder holds [A] (ID 1: a program, a pause, a program) and
    // [B] (ID 2: a program); with realProgram the executable beside it is the
    // built korvane, else a script that notes how it was started.
    World(Fault fault, bool realProgram);
    ~World();
    World(const World&) = delete;
    World& operator=(const World&) = delete;

    // Applies the cell's fault (the "meanwhile" ones wait for Meanwhile).
    void Spoil();
    // What another program does to the batch while a dialog is open.
    void Meanwhile(const std::string& batch);
    // Takes the fault away again, so that what the command left can be judged.
    void Mend();
    // What is wrong with the state folder now, in words; empty when nothing is.
    std::vector<std::string> Broken() const;

    // Lines the launched programs wrote, waiting up to a few seconds for count.
    int Started(int count) const;
    // Times the program beside the state folder was started to show a notice.
    int Notices() const;

    Fault fault;
    std::filesystem::path prog;     // the state folder (with its executable)
    std::filesystem::path outside;  // everything else, on the usual disk
    std::filesystem::path sentinel; // what no command may change
    std::filesystem::path tool;     // the program the items start
    std::unique_ptr<ProgramFiles> files;

  private:
    void Fill();
    void SaveAside(const std::filesystem::path& file);

    TempDir outsideDir_;
    std::filesystem::path ballast_;
    std::vector<std::pair<std::filesystem::path, std::string>> saved_; // files a fault replaced
    std::string sentinelBefore_;
};

// Every file below folder with its bytes and every link with its target.
std::string TreeText(const std::filesystem::path& folder);

} // namespace korvane::test

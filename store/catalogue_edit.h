#pragma once

#include "store/catalogue.h"
#include "store/errors.h"

#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace korvane {

// Edits of the catalogue that the editor's commands make. Each writes at
// once; none keeps anything in memory.

// "New batch", or "Copy " in front of it until no caption equals it (ignoring case).
std::string NewBatchName(const std::vector<std::string>& captions);

// Creates the section with a freshly drawn ID (one no other batch has) and
// the batch folder; returns the ID.
int CreateBatch(ProgramFiles& files, const std::string& name, std::mt19937& random);

// Moves every key of the batch to a section of the new name, at the end of
// the catalogue, in one rewrite. Blanks at either end of the name are not
// part of it; returns the name as stored. Throws Error for an all-blank name,
// one another batch has, or a batch that is no longer there. The default
// batch setting follows a renamed batch.
std::string RenameBatch(ProgramFiles& files, const std::string& oldName,
                        const std::string& newName);

// Removes the batch's section, then its link files, item folders and batch
// folder: a catalogue that cannot be written leaves every file. Edits of a
// batch that another process renamed or removed throw Error and change nothing.
void DeleteBatch(ProgramFiles& files, const std::string& name);

// The number of items: Item0, Item1, ... up to the first empty one.
int ItemCount(const TIniFile& catalogue, const std::string& batch);

// Adds an application from source as the batch's last item: a link to it in
// a new item folder, or a copy of it when it is itself a link file (".lnk",
// ".pif", ".desktop"). makeLink makes folder/<name>.lnk for a target.
// Returns the folder field written ("417\").
using LinkMaker =
    std::function<void(const std::filesystem::path& target, const std::filesystem::path& folder)>;
std::string AddApplicationItem(ProgramFiles& files, const std::string& batch,
                               const std::filesystem::path& source, std::mt19937& random,
                               const LinkMaker& makeLink);

// Adds a pause of the given length as the batch's last item.
void AddPauseItem(ProgramFiles& files, const std::string& batch, double length);

// Removes item index, with its link file and item folder, and closes the gap.
void DeleteItem(ProgramFiles& files, const std::string& batch, int index);

// Swaps item index with its neighbour index + delta (delta -1 or +1); false
// when there is no such neighbour.
bool MoveItem(ProgramFiles& files, const std::string& batch, int index, int delta);

// Moves item from to position to, as that many "Up" or "Down" steps would,
// each one swap of neighbours; false when either is no item.
bool MoveItemTo(ProgramFiles& files, const std::string& batch, int from, int to);

// Switches item index on or off, keeping its kind and folder or time.
void SetItemActive(ProgramFiles& files, const std::string& batch, int index, bool active);

// Gives pause index a new length, keeping its state.
void SetPauseLength(ProgramFiles& files, const std::string& batch, int index, double length,
                    bool active);

// The error of an edit of a batch that another process renamed or removed
// since the editor read it.
Error NoSuchBatch(const std::string& batch);

// Whether a file is itself a link and so is copied rather than linked to.
bool IsLinkFile(const std::filesystem::path& file);

} // namespace korvane

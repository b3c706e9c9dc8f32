#pragma once

#include "store/batch_edit.h"
#include "store/catalogue.h"
#include "store/errors.h"

#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace korvane {

// Edits of the catalogue that the editor's commands make. Each writes at
// once, through the one edit path (store/batch_edit.h), and none keeps
// anything in memory. Each throws NoSuchBatch for a batch that another
// program renamed, deleted or replaced since the window read it, and
// ItemChanged for an item that is no longer where the window saw it; then
// nothing has changed.

// "New batch", or "Copy " in front of it until no caption equals it (ignoring case).
std::string NewBatchName(const std::vector<std::string>& captions);

// Creates a batch named name (or, should another program have taken that
// name a moment ago, the next free "Copy " name) with a freshly drawn ID
// that no other batch has, and its batch folder; returns it.
BatchRef CreateBatch(ProgramFiles& files, const std::string& name, std::mt19937& random);

// Moves every key of the batch to a section of the new name, at the end of
// the catalogue, in one rewrite. Blanks at either end of the name are not
// part of it; returns the name as stored. Throws Error for an all-blank name
// or one another batch has. The default batch setting follows a renamed batch.
std::string RenameBatch(ProgramFiles& files, const BatchRef& batch, const std::string& newName);

// Removes the batch's section, then its link files, item folders and batch
// folder: a catalogue that cannot be written leaves every file. Files that
// cannot be removed are reported (Error) once the batch is gone.
void DeleteBatch(ProgramFiles& files, const BatchRef& batch);

// The number of items: Item0, Item1, ... up to the first empty one.
int ItemCount(const TIniFile& catalogue, const std::string& batch);

// Adds an application from source as the batch's last item: a link to it in
// a new item folder, or a copy of it when it is itself a link file (".lnk",
// ".pif", ".desktop"). makeLink makes folder/<name>.lnk for a target and
// throws Error when it cannot. Returns the folder field written ("417\").
// Whatever fails, no folder or file of the new item is left behind.
using LinkMaker =
    std::function<void(const std::filesystem::path& target, const std::filesystem::path& folder)>;
std::string AddApplicationItem(ProgramFiles& files, const BatchRef& batch,
                               const std::filesystem::path& source, std::mt19937& random,
                               const LinkMaker& makeLink);

// Adds a pause of the given length as the batch's last item.
void AddPauseItem(ProgramFiles& files, const BatchRef& batch, double length);

// Removes the item, with its link file and item folder, and closes the gap.
// Files that cannot be removed are reported (Error) once the entry is gone.
void DeleteItem(ProgramFiles& files, const BatchRef& batch, const ItemRef& item);

// Swaps the item with its neighbour at item.index + delta (delta -1 or +1);
// false when there is no such neighbour.
bool MoveItem(ProgramFiles& files, const BatchRef& batch, const ItemRef& item, int delta);

// Moves the item to position to, as that many "Up" or "Down" steps would;
// false when to is no item.
bool MoveItemTo(ProgramFiles& files, const BatchRef& batch, const ItemRef& item, int to);

// Switches the item on or off, keeping its kind and folder or time; returns
// the entry written.
std::string SetItemActive(ProgramFiles& files, const BatchRef& batch, const ItemRef& item,
                          bool active);

// Gives the pause a new length, keeping its state.
void SetPauseLength(ProgramFiles& files, const BatchRef& batch, const ItemRef& item,
                    double length);

// What the batch properties dialog saves.
struct BatchLooks {
    bool showInStartup = true;
    std::string iconFile; // "" for the default icon
    int iconIndex = 0;
};
void SetBatchLooks(ProgramFiles& files, const BatchRef& batch, const BatchLooks& looks);

// Whether a file is itself a link and so is copied rather than linked to.
bool IsLinkFile(const std::filesystem::path& file);

} // namespace korvane

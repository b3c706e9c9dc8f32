#pragma once

// The one way a batch's section of the catalogue changes. Every edit names
// the batch as the window knew it (name and ID); under the state folder's
// lock the catalogue is read again, the batch must still be there as it was,
// the edit is made and the catalogue written, all at once. A batch that
// another program renamed, deleted or replaced meanwhile is never brought
// back, written into or taken for another.

#include "store/catalogue.h"
#include "store/errors.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

class IniDocument;

// What a window knows a batch by.
struct BatchRef {
    std::string name;
    std::string id; // as read with the name; "" for a batch without one
    bool operator==(const BatchRef&) const = default;
};

// The batch of that name as the catalogue holds it now.
BatchRef RefOf(const TIniFile& catalogue, std::string_view name);

// What a window knows an item by: its place and the entry it read there.
struct ItemRef {
    int index = -1;
    std::string entry;
};

// A batch's section as the catalogue holds it while an edit runs.
class BatchSection {
  public:
    BatchSection(IniDocument& doc, const BatchRef& batch);

    const BatchRef& Batch() const { return batch_; }
    std::string Read(std::string_view key) const; // "" when absent
    // Throws ValueError for text that would break the file's lines.
    void Write(std::string_view key, std::string_view value);
    void Remove(std::string_view key);

    int ItemCount() const; // Item0, Item1, ... up to the first empty one
    std::string Item(int n) const;
    // The entry of item, which must still be what the window read there;
    // throws ItemChanged otherwise.
    std::string Expect(const ItemRef& item) const;

    // The section goes; nothing is read or written in it after.
    void Delete();
    // The section moves, its keys in order, to a section of the new name at
    // the end of the catalogue. Throws Error when another batch has the name.
    void Rename(const std::string& newName);

    bool Changed() const { return changed_; }

  private:
    IniDocument& doc_;
    BatchRef batch_;
    bool changed_ = false;
};

// The one edit path. edit may read and change the section and do file work
// of its own (the lock is held throughout); what it throws goes through and
// nothing is written. Throws NoSuchBatch when the batch is gone or is another
// one now, WriteError when the catalogue cannot be written.
void EditBatch(ProgramFiles& files, const BatchRef& batch,
               const std::function<void(BatchSection&)>& edit);

// The batch is not there as the window knew it.
Error NoSuchBatch(const std::string& batch);
// The item is not where the window saw it.
Error ItemChanged(const std::string& batch);

// Makes batch, which must still be there, the default batch (DefaultBatch
// in section "Basic" of the settings): what the logon countdown launches.
void SetDefaultBatch(ProgramFiles& files, const BatchRef& batch);

} // namespace korvane

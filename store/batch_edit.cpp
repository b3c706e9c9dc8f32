#include "store/batch_edit.h"

#include "store/catalogue_writer.h"
#include "store/file_io.h"
#include "store/ini_document.h"
#include "store/utf8.h"

namespace korvane {

TIniFile& CatalogueForEdit(ProgramFiles& files) {
    return files.catalogueFile_;
}

BatchRef RefOf(const TIniFile& catalogue, std::string_view name) {
    return {std::string(name), catalogue.ReadText(name, "ID", "")};
}

Error NoSuchBatch(const std::string& batch) {
    return Error("There is no batch named \"" + batch +
                 "\" any more: another program renamed or deleted it.");
}

Error ItemChanged(const std::string& batch) {
    return Error("The item is no longer where it was in the batch \"" + batch +
                 "\": another program changed the batch.");
}

BatchSection::BatchSection(IniDocument& doc, const BatchRef& batch) : doc_(doc), batch_(batch) {}

std::string BatchSection::Read(std::string_view key) const {
    return std::string(doc_.Find(batch_.name, key).value_or(""));
}

void BatchSection::Write(std::string_view key, std::string_view value) {
    CheckIniEntry(batch_.name, key, value);
    changed_ = doc_.Set(batch_.name, key, value) || changed_;
}

void BatchSection::Remove(std::string_view key) {
    changed_ = doc_.RemoveKey(batch_.name, key) || changed_;
}

void BatchSection::Delete() {
    changed_ = doc_.RemoveSection(batch_.name) || changed_;
}

void BatchSection::Rename(const std::string& newName) {
    CheckIniEntry(newName, "ID", batch_.id);
    if (!utf8::EqualFolded(IniDocument::TrimName(batch_.name), newName)) {
        for (const std::string& section : doc_.Sections()) {
            if (utf8::EqualFolded(section, newName)) {
                throw Error("There is already a batch named \"" + section + "\"");
            }
        }
    }
    switch (doc_.RenameSection(batch_.name, newName)) {
    case IniDocument::RenameResult::NameTaken:
        throw Error("There is already a batch named \"" + newName + "\"");
    case IniDocument::RenameResult::NoSection:
        throw NoSuchBatch(batch_.name);
    case IniDocument::RenameResult::Renamed:
        break;
    }
    batch_.name = newName;
    changed_ = true;
}

int BatchSection::ItemCount() const {
    int n = 0;
    while (!Item(n).empty()) {
        ++n;
    }
    return n;
}

std::string BatchSection::Item(int n) const {
    return Read(ItemKey(n));
}

std::string BatchSection::Expect(const ItemRef& item) const {
    std::string entry = item.index >= 0 ? Item(item.index) : std::string();
    if (entry.empty() || entry != item.entry) {
        throw ItemChanged(batch_.name);
    }
    return entry;
}

namespace {

// Whether the document holds the batch as the window knew it.
bool Holds(const IniDocument& doc, const BatchRef& batch) {
    return doc.HasSection(batch.name) && doc.Find(batch.name, "ID").value_or("") == batch.id;
}

} // namespace

void EditBatch(ProgramFiles& files, const BatchRef& batch,
               const std::function<void(BatchSection&)>& edit) {
    bool present = false;
    CatalogueForEdit(files).Update([&](IniDocument& doc) {
        present = Holds(doc, batch);
        if (!present) {
            return false;
        }
        BatchSection section(doc, batch);
        edit(section);
        return section.Changed();
    });
    if (!present) {
        throw NoSuchBatch(batch.name);
    }
}

void SetDefaultBatch(ProgramFiles& files, const BatchRef& batch) {
    // Under the catalogue's lock (the settings share its folder), so that the
    // batch cannot go between the check and the write.
    FolderLock lock(files.folder);
    if (!files.catalogue.HasSection(batch.name) ||
        files.catalogue.ReadText(batch.name, "ID", "") != batch.id) {
        throw NoSuchBatch(batch.name);
    }
    files.settings.WriteText(kSettingsSection, "DefaultBatch", batch.name);
}

} // namespace korvane

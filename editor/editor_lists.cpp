// The editor's two lists: filled from the catalogue, read again when the
// files change, and the selection kept across.
#include "editor/editor_internal.h"

#include "app/item_row.h"
#include "app/runner.h"
#include "appearance/batch_appearance.h"
#include "editor/file_properties.h"
#include "editor/interval_dialog.h"
#include "editor/link_properties.h"
#include "editor/options_dialog.h"
#include "gui/icons.h"
#include "gui/list_rows.h"
#include "gui/system_icons.h"
#include "layout/layout_file.h"
#include "layout/published_controls.h"
#include "shell/folder_watch.h"
#include "shell/icon_source.h"
#include "shell/shell.h"
#include "store/catalogue_edit.h"
#include "store/clock_time.h"
#include "store/errors.h"
#include "store/item_wait.h"

#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMimeDatabase>
#include <QPointer>
#include <QStatusBar>
#include <QTreeWidget>
#include <QWindow>

#include <chrono>
#include <utility>

namespace fs = std::filesystem;

namespace korvane {

void TForm1::RequestReload(bool catalogue) {
    if (closing_) {
        return;
    }
    (catalogue ? catalogueReloadDeferred_ : itemsReloadDeferred_) = true;
    RunDeferredReloads();
}

void TForm1::RunDeferredReloads() {
    if (closing_ || (!itemsReloadDeferred_ && !catalogueReloadDeferred_)) {
        return;
    }
    // Not under a dialog, a message box or an in-place edit: they refer to
    // rows a reload would replace.
    if (modal_ > 0 || QApplication::activeModalWidget() || BatchList->Editing()) {
        return;
    }
    const bool catalogue = std::exchange(catalogueReloadDeferred_, false);
    const bool items = std::exchange(itemsReloadDeferred_, false);
    Guarded(this, [&] {
        // A catalogue change that read the items again has done the other's work.
        if ((!catalogue || !CatalogueChanged()) && items) {
            DirChangeChange();
        }
    });
}

void TForm1::ShowWhatTheFilesHold() {
    catalogueReloadDeferred_ = true;
    itemsReloadDeferred_ = true;
    RunDeferredReloads();
}

std::vector<std::string> TForm1::ItemEntries() const {
    std::vector<std::string> entries;
    for (int n = 0;; ++n) {
        std::string entry = files_.catalogue.ReadText(CurrentBatchName(), ItemKey(n), "");
        if (entry.empty()) {
            return entries;
        }
        // What an application waits for shows in its row: a change made
        // elsewhere is a change of the list too.
        if (entry.starts_with("File;")) {
            tqAppInfo item;
            DecodeItemEntry(entry, item);
            if (const std::string key = WaitKey(item.Folder); !key.empty()) {
                entry += "\n" + files_.catalogue.ReadText(CurrentBatchName(), key, "");
            }
        }
        entries.push_back(std::move(entry));
    }
}

void FillBatchRows(QListWidget& list, const std::vector<BatchRow>& rows) {
    QStringList names;
    names.reserve(static_cast<qsizetype>(rows.size()));
    for (const BatchRow& row : rows) {
        names.push_back(QStringFrom(row.name));
    }
    BatchIcons icons;
    FillListRows(list, names, [&](QListWidgetItem& item, int i) {
        const BatchRow& row = rows[static_cast<std::size_t>(i)];
        SetUpBatchRow(item, icons.For(row.iconFile, row.iconIndex), row);
    });
}

bool TForm1::CatalogueChanged() {
    const std::vector<BatchRow> rows = ListBatchRows(files_.catalogue, false);
    bool same = static_cast<int>(rows.size()) == BatchList->count();
    for (int i = 0; same && i < BatchList->count(); ++i) {
        const QListWidgetItem* item = BatchList->item(i);
        same = item->data(kNameRole).toString() == QStringFrom(rows[i].name) &&
               item->data(kIdRole).toString() == QStringFrom(rows[i].id) &&
               item->data(kIconRole).toString() == IconKey(rows[i]);
    }
    if (!same) {
        const auto selected = BatchList->selectedItems();
        const std::string was = selected.isEmpty()
                                    ? std::string()
                                    : StdStringFrom(selected.front()->data(kNameRole).toString());
        QListWidgetItem* keep = nullptr;
        {
            const QSignalBlocker block(BatchList);
            FillBatchRows(*BatchList, rows);
            for (std::size_t i = 0; !keep && !was.empty() && i < rows.size(); ++i) {
                if (utf8::EqualFolded(rows[i].name, was)) {
                    keep = BatchList->item(static_cast<int>(i));
                }
            }
            BatchList->setCurrentItem(keep);
            if (keep) {
                keep->setSelected(true);
            }
        }
        if (!keep) {
            // The batch shown is gone (renamed or deleted elsewhere): no row
            // may go on standing for it.
            SetCurrentBatch({});
            appListReady_ = false;
            AppList->clear();
            shownEntries_.clear();
            StatusText->clear();
            return true;
        }
        SetCurrentBatch(RowBatch(*keep));
    }
    if (!CurrentBatchName().empty() && ItemEntries() != shownEntries_) {
        Reload();
        return true;
    }
    return false;
}

void TForm1::DirChangeChange() {
    if (closing_ || CurrentBatchName().empty()) {
        return;
    }
    Reload();
}

std::vector<std::string> TForm1::BatchCaptions() const {
    std::vector<std::string> captions;
    for (int i = 0; i < BatchList->count(); ++i) {
        captions.push_back(StdStringFrom(BatchList->item(i)->text()));
    }
    return captions;
}

void TForm1::initList() {
    const QSignalBlocker block(BatchList);
    FillBatchRows(*BatchList, ListBatchRows(files_.catalogue, false));
    if (BatchList->count() > 0) {
        BatchList->setCurrentRow(0);
        BatchListSelectItem(BatchList->item(0));
    }
}

void TForm1::BatchListSelectItem(QListWidgetItem* row) {
    appListReady_ = false;
    AppList->clear();
    itemIcons_ = {};
    typeCache_.clear();
    shownEntries_.clear();
    if (!row) {
        if (watch_) {
            watch_->Narrow({});
        }
        return;
    }
    SetCurrentBatch(RowBatch(*row));
    if (watch_) {
        watch_->Narrow(WatchedBatchFolder());
    }
    shownEntries_ = ItemEntries();
    ForEachItem(files_.catalogue, CurrentBatchName(), [this](int n, const tqAppInfo& item) {
        if (item.Kind == TItemKind::ikFile) {
            AddAppRow(item.Folder, item.Active);
        } else if (item.Kind == TItemKind::ikInterval) {
            AddIntervalRow(item.Time, item.Active);
        } else {
            // An entry of no known kind keeps its place so that the rows
            // stay aligned with the item numbers.
            auto* unknown =
                new QTreeWidgetItem(AppList, {QStringFrom(item.Fields[0]), QString::number(n + 1),
                                              QStringLiteral("Undefined")});
            unknown->setIcon(0, ProgramPicture("document"));
            unknown->setData(0, kCheckedRole, false);
        }
        return true;
    });
    StatusText->setText(QStringLiteral("  Items count: ") +
                        QString::number(AppList->topLevelItemCount()));
    appListReady_ = true;
}

void TForm1::Reload() {
    // The selected item stays selected: an application by its folder, any
    // other row by its place.
    const int selectedIndex = SelectedIndex();
    const QString selectedFolder =
        selectedIndex >= 0 ? SelectedRow()->data(0, kFolderRole).toString() : QString();
    QListWidgetItem* row = BatchList->currentItem();
    if (!row || !row->isSelected()) {
        row = nullptr;
        for (int i = 0; i < BatchList->count(); ++i) {
            if (utf8::EqualFolded(StdStringFrom(BatchList->item(i)->data(kNameRole).toString()),
                                  CurrentBatchName())) {
                row = BatchList->item(i);
                break;
            }
        }
    }
    BatchListSelectItem(row);
    if (selectedIndex < 0) {
        return;
    }
    for (int i = 0; i < AppList->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = AppList->topLevelItem(i);
        if (selectedFolder.isEmpty() ? i == selectedIndex
                                     : item->data(0, kFolderRole).toString() == selectedFolder) {
            const QSignalBlocker block(AppList);
            AppList->setCurrentItem(item);
            item->setSelected(true);
            return;
        }
    }
}

void TForm1::AddAppRow(const std::string& folderField, bool active) {
    const ApplicationRow item = DescribeApplication(files_, CurrentBatchName(), folderField);
    QString type = QStringLiteral("Undefined");
    if (item.isApplication) {
        type = QStringLiteral("Application");
    } else if (!item.target.empty()) {
        auto [it, fresh] = typeCache_.try_emplace(item.target);
        if (fresh) {
            it->second = SystemTypeName(QStringFrom(item.target)); // the shell's (Windows)
        }
        if (fresh && it->second.isEmpty()) {
            static QMimeDatabase db;
            const QMimeType mime = db.mimeTypeForFile(QStringFrom(item.target));
            // Nothing known about it ("application/octet-stream") stays "Undefined".
            it->second = mime.isDefault() ? QString() : mime.comment();
        }
        if (!it->second.isEmpty()) {
            type = it->second;
        }
    }
    if (const std::string waits =
            WaitSummary(ReadItemWait(files_.catalogue, CurrentBatchName(), folderField));
        !waits.empty()) {
        type += QStringLiteral(", ") + QStringFrom(waits);
    }
    const int order = AppList->topLevelItemCount() + 1;
    auto* row =
        new QTreeWidgetItem(AppList, {QStringFrom(item.caption), QString::number(order), type});
    row->setIcon(0, itemIcons_.For(item));
    row->setToolTip(0, QStringFrom(item.comment));
    row->setData(0, kFolderRole, item.folder ? QStringFromPath(*item.folder / "") : QString());
    row->setData(0, kStemRole, QByteArray::fromStdString(utf8::FromPath(item.file.stem())));
    row->setFlags(row->flags() | Qt::ItemIsUserCheckable);
    row->setCheckState(0, active ? Qt::Checked : Qt::Unchecked);
    row->setData(0, kCheckedRole, active);
}

void TForm1::AddIntervalRow(double length, bool active) {
    const int order = AppList->topLevelItemCount() + 1;
    auto* row = new QTreeWidgetItem(AppList, {QStringFrom(FormatClockTime(length)),
                                              QString::number(order), QStringLiteral("Pause")});
    row->setIcon(0, aAddPause->icon());
    row->setFlags(row->flags() | Qt::ItemIsUserCheckable);
    row->setCheckState(0, active ? Qt::Checked : Qt::Unchecked);
    row->setData(0, kCheckedRole, active);
}

ItemRef TForm1::ShownItem(int index) const {
    if (index < 0 || index >= static_cast<int>(shownEntries_.size())) {
        return {};
    }
    // Without the wait that ItemEntries adds to an application's entry.
    const std::string& shown = shownEntries_[static_cast<std::size_t>(index)];
    return {index, shown.substr(0, shown.find('\n'))};
}

QTreeWidgetItem* TForm1::SelectedRow() const {
    const auto selected = AppList->selectedItems();
    return selected.isEmpty() ? nullptr : selected.front();
}

int TForm1::SelectedIndex() const {
    QTreeWidgetItem* row = SelectedRow();
    return row ? AppList->indexOfTopLevelItem(row) : -1;
}

void TForm1::SelectItemRow(int index) {
    if (QTreeWidgetItem* row = AppList->topLevelItem(index)) {
        AppList->setCurrentItem(row);
        row->setSelected(true);
        AppList->scrollToItem(row);
    }
}

void TForm1::SelectLastItemRow() {
    SelectItemRow(AppList->topLevelItemCount() - 1);
}

void TForm1::UpdateActions() {
    const bool batchSelected = !BatchList->selectedItems().isEmpty();
    const bool itemSelected = SelectedRow() != nullptr;
    for (QAction* a : {aDeleteBatch, aLaunchBatch, aLastLaunch, aBatchProperties, aMakeShortcut,
                       aAddApplication, aImportAutostart}) {
        a->setEnabled(batchSelected);
    }
    for (QAction* a : {aFileProperties, aDeleteApplication, aUp, aDown, aLaunchApp}) {
        a->setEnabled(itemSelected);
    }
    aTB_Show->setChecked(!ToolBar1->isHidden());
    aTB_Captions->setChecked(ToolBar1->ShowCaptions());
    aTB_List->setChecked(ToolBar1->List());
}

QListWidgetItem* TForm1::CurrentBatchRow() const {
    for (int i = 0; i < BatchList->count(); ++i) {
        if (utf8::EqualFolded(StdStringFrom(BatchList->item(i)->data(kNameRole).toString()),
                              CurrentBatchName())) {
            return BatchList->item(i);
        }
    }
    return nullptr;
}

QListWidgetItem* TForm1::RowOf(const BatchRef& batch) const {
    for (int i = 0; i < BatchList->count(); ++i) {
        QListWidgetItem* row = BatchList->item(i);
        const BatchRef shown = RowBatch(*row);
        if (shown.id == batch.id && utf8::EqualFolded(shown.name, batch.name)) {
            return row;
        }
    }
    return nullptr;
}

} // namespace korvane

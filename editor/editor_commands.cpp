// The editor's commands: what its buttons, menus and keys do.
#include "editor/editor_internal.h"

#include "app/problem_notice.h"
#include "app/reported_run.h"
#include "app/runner.h"
#include "appearance/batch_appearance.h"
#include "editor/about_box.h"
#include "editor/file_properties.h"
#include "editor/interval_dialog.h"
#include "editor/last_launch_dialog.h"
#include "editor/link_properties.h"
#include "editor/options_dialog.h"
#include "gui/dialog_frame.h"
#include "gui/icons.h"
#include "layout/layout_file.h"
#include "layout/published_controls.h"
#include "shell/batch_shortcut.h"
#include "shell/icon_source.h"
#include "shell/readiness.h"
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

// Built when first needed: the window shows sooner without them.
void TForm1::BuildDialogs() {
    if (Form3) {
        return;
    }
    Form3 = new TForm3(this);
    OptionsForm = new TOptionsForm(
        files_,
        [this] {
            std::vector<BatchRef> batches;
            for (int i = 0; i < BatchList->count(); ++i) {
                batches.push_back(RowBatch(*BatchList->item(i)));
            }
            return batches;
        },
        this);
    AboutBox = new TAboutBox(this);
    BatchListLink link;
    link.hasCurrentRow = [this] { return CurrentBatchRow() != nullptr; };
    link.currentRowIcon = [this] {
        QListWidgetItem* row = CurrentBatchRow();
        return row ? row->icon() : DefaultBatchIcon();
    };
    link.rename = [this](const BatchRef& batch, const std::string& name) {
        QListWidgetItem* row = RowOf(batch);
        if (!row) {
            throw NoSuchBatch(batch.name);
        }
        RenameRow(row, name);
        return StdStringFrom(row->data(kNameRole).toString());
    };
    link.setCurrentRowIcon = [this](const QIcon& icon) {
        if (QListWidgetItem* row = CurrentBatchRow()) {
            row->setIcon(icon.isNull() ? DefaultBatchIcon() : icon);
        }
    };
    link.applicationItems = [this] {
        std::vector<BatchListLink::Item> items;
        for (int i = 0; i < AppList->topLevelItemCount(); ++i) {
            QTreeWidgetItem* row = AppList->topLevelItem(i);
            if (!row->data(0, kFolderRole).toString().isEmpty()) {
                items.push_back({row->text(0), row->icon(0), i});
            }
        }
        return items;
    };
    Form5 = new TForm5(files_, link, this);
    BatchPropertiesForm = new TBatchPropertiesForm(files_, link, *Form5, this);
    for (QDialog* dialog :
         {static_cast<QDialog*>(Form3), static_cast<QDialog*>(OptionsForm),
          static_cast<QDialog*>(Form5), static_cast<QDialog*>(BatchPropertiesForm)}) {
        CentreOnEveryShow(dialog);
    }
}

void TForm1::ShowLinkProperties(const fs::path& file) {
    const std::string ext = utf8::FoldCase(utf8::FromPath(file.extension()));
    if (ext != ".lnk" && ext != ".desktop") {
        ShowFileProperties(file); // a file of another kind: the file manager's page
        return;
    }
    // Our own link files and copied entries get our own sheet, as the
    // shell's property sheet serves its shortcuts elsewhere.
    auto* sheet = new TLinkPropertiesForm(file, this);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->chooseIcon = [this](std::string& iconFile, int& index) {
        BuildDialogs();
        const auto chosen = Modal([&] { return Form5->Choose({iconFile, index, QIcon()}); });
        if (chosen) {
            iconFile = chosen->file;
            index = chosen->index;
        }
        return chosen.has_value();
    };
    // What the item waits for is kept by its folder, which follows it
    // wherever it moves while the sheet is open.
    const BatchRef batch = CurrentBatch();
    const std::string folderField = utf8::FromPath(file.parent_path().filename()) + "\\";
    if (!WaitKey(folderField).empty()) {
        sheet->ShowWait(ReadItemWait(files_.catalogue, batch.name, folderField),
                        shell::WindowWaitLimitation(),
                        [this, batch, folderField](const ItemWait& w) {
                            SetItemWait(files_, batch, folderField, w);
                        });
    }
    connect(sheet, &TLinkPropertiesForm::applied, this,
            [this] { Guarded(this, [this] { Reload(); }); });
    sheet->show();
}

void TForm1::ProcessDroppedFiles(const QStringList& paths) {
    std::vector<fs::path> files;
    for (const QString& path : paths) {
        files.push_back(PathFrom(path));
    }
    AddDroppedFiles(files);
}

void TForm1::AddDroppedFiles(const std::vector<fs::path>& paths) {
    const auto selected = BatchList->selectedItems();
    if (selected.isEmpty()) {
        return; // no batch to add to: the drop is passed over
    }
    AddApplications(RowBatch(*selected.front()), paths);
}

void TForm1::AddApplications(const BatchRef& batch, const std::vector<fs::path>& paths) {
    try {
        for (const fs::path& path : paths) {
            AddApplicationItem(files_, batch, path, random_, shell::CreateItemLink);
        }
    } catch (...) {
        Reload(); // what was added before the failure shows
        throw;
    }
    Reload();
    SelectLastItemRow();
}

void TForm1::DropItemRow(const QPoint& pos) {
    const int from = SelectedIndex();
    QTreeWidgetItem* target = AppList->itemAt(pos);
    const int to = target ? AppList->indexOfTopLevelItem(target) : AppList->topLevelItemCount() - 1;
    if (from < 0 || to < 0 || from == to) {
        return;
    }
    if (MoveItemTo(files_, CurrentBatch(), ShownItem(from), to)) {
        Reload();
        SelectItemRow(to);
    }
}

void TForm1::BatchListEdited(QListWidgetItem* row) {
    const std::string newName = StdStringFrom(row->text());
    if (StdStringFrom(row->data(kNameRole).toString()) == newName) {
        return; // an icon or a programmatic change, not an edit
    }
    renamedByEdit_ = true;
    RenameRow(row, newName);
}

void TForm1::RenameRow(QListWidgetItem* row, const std::string& newName) {
    if (!row) {
        return;
    }
    const BatchRef batch = RowBatch(*row);
    const QSignalBlocker block(BatchList);
    std::string stored;
    try {
        stored = RenameBatch(files_, batch, newName);
    } catch (...) {
        row->setText(QStringFrom(batch.name));
        throw;
    }
    row->setText(QStringFrom(stored));
    row->setData(kNameRole, QStringFrom(stored));
    if (CurrentBatch() == batch) {
        SetCurrentBatch({stored, batch.id});
    }
    MoveDesktopShortcut(batch.name, stored);
}

shell::ShortcutIcon TForm1::ShortcutIconOf(const std::string& batch) const {
    // A batch without an icon of its own shows the program's.
    const std::string iconFile = files_.catalogue.ReadText(batch, "IconFile", "");
    if (iconFile.empty()) {
        return {utf8::FromPath(shell::ProgramIconFile()), 0};
    }
    return {shell::ResolveIconSource(iconFile), files_.catalogue.ReadNumber(batch, "IconIndex", 0)};
}

void TForm1::MoveDesktopShortcut(const std::string& oldName, const std::string& newName) {
    // Only this program's own shortcut of the batch: one that runs it.
    shell::MoveBatchShortcut(shell::DesktopFolder(), files_.executable, oldName, newName,
                             ShortcutIconOf(newName));
}

void TForm1::aAddBatchExecute() {
    const BatchRef made = CreateBatch(files_, NewBatchName(BatchCaptions()), random_);
    auto* row = NewBatchRow(DefaultBatchIcon(), BatchRow{made.name, made.id, "", 0});
    {
        const QSignalBlocker block(BatchList);
        BatchList->addItem(row);
    }
    BatchList->setCurrentItem(row);
    row->setSelected(true);
    BatchList->editItem(row);
}

void TForm1::aDeleteBatchExecute() {
    const auto selected = BatchList->selectedItems();
    if (selected.isEmpty()) {
        return;
    }
    QListWidgetItem* row = selected.front();
    DeleteBatch(files_, RowBatch(*row));
    SetCurrentBatch({});
    appListReady_ = false;
    AppList->clear();
    shownEntries_.clear();
    const QSignalBlocker block(BatchList);
    delete BatchList->takeItem(BatchList->row(row));
    BatchList->clearSelection();
    // No row stays current either: a neighbour left current but unselected
    // would not report the click that selects it, and never load.
    BatchList->setCurrentItem(nullptr);
    StatusText->clear();
}

void TForm1::aLaunchBatchExecute() {
    if (CurrentBatchName().empty() || AppList->topLevelItemCount() == 0) {
        return;
    }
    const QPointer<QWidget> focus = QApplication::focusWidget();
    hide();
    // The window comes back whatever the run ended with, active and with
    // the focus where it was, so that the keys of the lists work at once.
    struct ShowAgain {
        QWidget* w;
        QPointer<QWidget> focus;
        ~ShowAgain() {
            w->show();
            // Activated once the window system has taken the show in: asked
            // at once, a window shown again within one event stays inactive.
            QTimer::singleShot(0, w, [w = w, focus = focus] {
                w->raise();
                w->activateWindow();
                if (QApplication::activeWindow() != w && w->windowHandle() &&
                    QGuiApplication::focusWindow() == w->windowHandle()) {
                    // The window system still has the window focused, so it
                    // sends no activation; the widgets must be told.
                    QApplication::setActiveWindow(w);
                }
                if (focus) {
                    focus->setFocus(Qt::OtherFocusReason);
                }
            });
        }
    } showAgain{this, focus};
    // The run lets events through between its items: reloads meanwhile wait
    // (they would replace the rows and the shared batch name under it).
    const std::string batch = CurrentBatchName();
    const auto reports = ListReports(ReportFolder(files_.folder));
    Modal([&] { launchBatch(batch); });
    SayWhatDidNotStart(batch, reports.empty() ? fs::path() : reports.front());
}

// After a launch from here: what did not start, said in the status bar, so
// that nobody has to look for it.
void TForm1::SayWhatDidNotStart(const std::string& batch, const fs::path& newestBefore) {
    const auto report = LastLaunchOf(ReportFolder(files_.folder), batch);
    if (!report || report->file == newestBefore) {
        return; // no report of this run
    }
    const RunSummary run = SummaryOf(*report);
    if (run.AllStarted()) {
        return;
    }
    const ProblemNotice notice = MakeProblemNotice(batch, run);
    const std::string first = notice.body.substr(0, notice.body.find('\n'));
    StatusBar1->showMessage(QStringFrom(notice.summary + " \u2014 " + first +
                                        ". Batches \u2192 Last launch tells more."));
}

void TForm1::aLastLaunchExecute() {
    const std::string batch = CurrentBatchName();
    if (batch.empty()) {
        return;
    }
    const auto report = LastLaunchOf(ReportFolder(files_.folder), batch);
    TLastLaunchForm dialog(batch, report, this);
    connect(&dialog, &TLastLaunchForm::openReport, this,
            [this, &report] { shellOpen(report->file, "", report->file.parent_path()); });
    Modal([&] { showLastLaunch(dialog); });
}

void TForm1::aBatchPropertiesExecute() {
    BuildDialogs();
    Modal([this] { return BatchPropertiesForm->exec(); });
}

void TForm1::aMakeShortcutExecute() {
    const std::string batch = CurrentBatchName();
    if (batch.empty()) {
        return;
    }
    shell::MakeBatchShortcut(shell::DesktopFolder(), files_.executable, batch,
                             ShortcutIconOf(batch));
}

void TForm1::aAddApplicationExecute() {
    if (CurrentBatchName().empty()) {
        return;
    }
    const BatchRef batch = CurrentBatch();
    const QStringList picked = Modal([this] { return chooseApplications(); });
    std::vector<fs::path> paths;
    for (const QString& path : picked) {
        paths.push_back(PathFrom(path));
    }
    if (!paths.empty()) {
        AddApplications(batch, paths);
    }
}

void TForm1::aAddPauseExecute() {
    if (CurrentBatchName().empty()) {
        return;
    }
    const BatchRef batch = CurrentBatch();
    BuildDialogs();
    Form3->SetTime(0.0);
    if (Modal([this] { return runIntervalDialog(*Form3); })) {
        AddPauseItem(files_, batch, Form3->Time());
        Reload();
        SelectLastItemRow();
    }
}

void TForm1::aFilePropertiesExecute() {
    QTreeWidgetItem* row = SelectedRow();
    if (!row) {
        return;
    }
    const BatchRef batch = CurrentBatch();
    const ItemRef item = ShownItem(AppList->indexOfTopLevelItem(row));
    tqAppInfo shown;
    DecodeItemEntry(item.entry, shown);
    if (shown.Kind == TItemKind::ikInterval) {
        // Nothing of the row is used once the dialog is open: the list may
        // be read again meanwhile; the edit checks the pause is still there.
        BuildDialogs();
        Form3->SetTime(shown.Time);
        row = nullptr;
        if (Modal([this] { return runIntervalDialog(*Form3); })) {
            SetPauseLength(files_, batch, item, Form3->Time());
            Reload();
        }
        return;
    }
    const fs::path folder = PathFrom(row->data(0, kFolderRole).toString());
    // The link file's own name, bytes and all (the caption is for people).
    const QByteArray stem = row->data(0, kStemRole).toByteArray();
    const std::string caption(stem.constData(), static_cast<std::size_t>(stem.size()));
    for (const char* ext : {".lnk", ".desktop", ".pif"}) {
        const fs::path file = FindIgnoringCase(folder, caption + ext);
        if (!file.empty()) {
            showFileProperties(file);
            return;
        }
    }
    ShowMessage(this, QStringLiteral("File ") +
                          QStringFromPath(folder / utf8::ToPath(caption + ".pif")) +
                          QStringLiteral("/lnk was not found."));
}

void TForm1::aDeleteApplicationExecute() {
    const int index = SelectedIndex();
    if (index < 0) {
        return;
    }
    AppList->clearSelection();
    try {
        DeleteItem(files_, CurrentBatch(), ShownItem(index));
    } catch (...) {
        Reload();
        throw;
    }
    Reload();
}

void TForm1::aUpExecute() {
    const int index = SelectedIndex();
    if (index > 0 && MoveItem(files_, CurrentBatch(), ShownItem(index), -1)) {
        Reload();
        SelectItemRow(index - 1);
    }
}

void TForm1::aDownExecute() {
    const int index = SelectedIndex();
    if (index >= 0 && MoveItem(files_, CurrentBatch(), ShownItem(index), +1)) {
        Reload();
        SelectItemRow(index + 1);
    }
}

void TForm1::aLaunchAppExecute() {
    const int index = SelectedIndex();
    if (index >= 0) {
        const std::string batch = CurrentBatchName();
        launchItem(batch, index);
    }
}

void TForm1::aOptionsExecute() {
    BuildDialogs();
    Modal([this] { return OptionsForm->exec(); });
}

void TForm1::aSwitchToDialogExecute() {
    hide();
    shellOpen(files_.executable, "-startup", files_.folder);
    close();
}

void TForm1::aTB_ShowExecute() {
    if (CoolBar1->isHidden()) {
        CoolBar1->show();
    }
    ToolBar1->setVisible(aTB_Show->isChecked()); // the action has just toggled its mark
}

void TForm1::aTB_CaptionsExecute() {
    ToolBar1->SetShowCaptions(aTB_Captions->isChecked());
    aTB_List->setEnabled(aTB_Captions->isChecked());
}

void TForm1::aTB_ListExecute() {
    ToolBar1->SetList(aTB_List->isChecked());
}

void TForm1::Help2Click() {
    // HTML help, shown by the desktop's browser.
    const fs::path help = shell::HelpFile();
    std::error_code ec;
    if (!fs::is_regular_file(help, ec)) {
        Modal([&] {
            ShowMessage(this, QStringLiteral("The help file %1 is missing. Reinstall Korvane to "
                                             "get it back.")
                                  .arg(QStringFromPath(help)));
            return 0;
        });
        return;
    }
    shellOpen(help, "", help.parent_path());
}

void TForm1::AboutClick() {
    BuildDialogs();
    Modal([this] { return AboutBox->exec(); });
}

} // namespace korvane

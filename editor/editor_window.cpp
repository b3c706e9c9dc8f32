#include "editor/editor_window.h"

#include "app/runner.h"
#include "appearance/batch_appearance.h"
#include "editor/file_properties.h"
#include "editor/interval_dialog.h"
#include "editor/link_properties.h"
#include "gui/error_report.h"
#include "gui/one_column.h"
#include "layout/layout_file.h"
#include "layout/published_controls.h"
#include "editor/options_dialog.h"
#include "shell/folder_watch.h"
#include "shell/icon_source.h"
#include "gui/icons.h"
#include "shell/shell.h"
#include "store/catalogue_edit.h"
#include "store/clock_time.h"
#include "store/errors.h"
#include "store/utf8.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileSystemWatcher>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QMimeDatabase>
#include <QPointer>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <QWindow>

#include <chrono>
#include <utility>

namespace fs = std::filesystem;

namespace korvane {

namespace {

constexpr int kNameRole = Qt::UserRole;        // batch rows: the name in the catalogue
constexpr int kIconRole = Qt::UserRole + 1;    // batch rows: icon file and index as read
constexpr int kFolderRole = Qt::UserRole;      // item rows: the item folder
constexpr int kCheckedRole = Qt::UserRole + 1; // item rows: the check state before a change

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}
std::string S(const QString& s) {
    return s.toStdString();
}
// Paths go through UTF-8 explicitly: std::string conversions of paths are
// not UTF-8 on every platform.
fs::path P(const QString& s) {
    return utf8::ToPath(s.toStdString());
}
QString QP(const fs::path& p) {
    return QString::fromStdString(utf8::FromPath(p));
}

// The file in folder whose name is name ignoring case, or "" when none is.
fs::path FindIgnoringCase(const fs::path& folder, const std::string& name) {
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (utf8::EqualFolded(utf8::FromPath(it->path().filename()), name)) {
            return it->path();
        }
    }
    return {};
}

QString IconKey(const BatchRow& row) {
    return Q(row.iconFile) + QLatin1Char('\n') + QString::number(row.iconIndex);
}

QListWidgetItem* NewBatchRow(const QIcon& icon, const BatchRow& batch) {
    auto* item = new QListWidgetItem(icon, Q(batch.name));
    item->setData(kNameRole, Q(batch.name));
    item->setData(kIconRole, IconKey(batch));
    item->setFlags(item->flags() | Qt::ItemIsEditable);
    return item;
}

} // namespace

template <class F> auto TForm1::Modal(F&& run) {
    ++modal_;
    struct Leave {
        int& depth;
        ~Leave() { --depth; }
    } leave{modal_};
    return run();
}

template <class F> void TForm1::Command(F&& handler) {
    if (!Guarded(this, std::forward<F>(handler))) {
        QTimer::singleShot(0, this, [this] { ShowWhatTheFilesHold(); });
    }
}

TForm1::TForm1(ProgramFiles& files, QWidget* parent)
    : TPublishedForm(parent), files_(files),
      random_(static_cast<unsigned>(std::chrono::system_clock::now().time_since_epoch().count())) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Korvane"));
    resize(658, 378);
    move(194, 248);
    chooseFile = [this] {
        return QFileDialog::getOpenFileName(
            this, QStringLiteral("Add application"), QString(),
            QStringLiteral("All files (*);;Executable files (*.exe *.com);;"
                           "Application entries (*.desktop *.lnk)"),
            nullptr, QFileDialog::DontResolveSymlinks);
    };
    runIntervalDialog = [](TForm3& dialog) { return dialog.exec() == QDialog::Accepted; };
    launchBatch = [this](const std::string& batch) {
        RunnerHooks hooks;
        hooks.processMessages = [] { QCoreApplication::processEvents(); };
        LaunchBatch(files_, batch, hooks);
    };
    launchItem = [this](const std::string& batch, int index) { LaunchItem(files_, batch, index); };
    showFileProperties = [this](const fs::path& file) { ShowLinkProperties(file); };
    shellOpen = [](const fs::path& file, const std::string& parameters, const fs::path& folder) {
        shell::ShellOpen(file, parameters, folder);
    };

    BuildActions();
    BuildWindow();
    BuildMenus();
    Form3 = new TForm3(this);
    OptionsForm = new TOptionsForm(
        files_, [this] { return BatchCaptions(); }, this);
    AboutBox = new TAboutBox(this);
    BatchListLink link;
    link.hasCurrentRow = [this] { return CurrentBatchRow() != nullptr; };
    link.currentRowIcon = [this] {
        QListWidgetItem* row = CurrentBatchRow();
        return row ? row->icon() : DefaultBatchIcon();
    };
    link.renameCurrent = [this](const std::string& name) { RenameRow(CurrentBatchRow(), name); };
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

    // FormCreate
    std::error_code ec;
    fs::current_path(files_.folder, ec);
    CurrentBatchName().clear();
    Guarded(this, [this] { initList(); });
    UpdateActions();
    // Files dropped from a file manager onto the item list.
    AppList->setAcceptDrops(true);
    AppList->viewport()->setAcceptDrops(true);
    AppList->setDragEnabled(true); // rows are dragged up and down to reorder them
    AppList->setDragDropMode(QAbstractItemView::DragDrop);
    AppList->viewport()->installEventFilter(this);
    // The watch works on its own thread and hands each (folded) change to
    // this thread; one reload is queued at a time.
    watch_ = std::make_unique<FolderWatch>(
        files_.folder / "Shortcuts",
        [this] {
            if (!reloadPending_.exchange(true)) {
                QMetaObject::invokeMethod(
                    this,
                    [this] {
                        reloadPending_ = false;
                        RequestReload(false);
                    },
                    Qt::QueuedConnection);
            }
        },
        [this](const std::string& message) {
            QMetaObject::invokeMethod(
                this, [this, message] { StatusBar1->showMessage(Q(message)); },
                Qt::QueuedConnection);
        });
    // batches.lst is replaced whole by every writer, this process or
    // another: its folder tells of each new version. A burst of changes is
    // taken as one.
    auto* catalogueWatch = new QFileSystemWatcher(this);
    catalogueWatch->setObjectName(QStringLiteral("CatalogueWatch"));
    catalogueWatch->addPath(QP(files_.folder));
    auto* settle = new QTimer(this);
    settle->setSingleShot(true);
    settle->setInterval(50);
    connect(catalogueWatch, &QFileSystemWatcher::directoryChanged, settle,
            qOverload<>(&QTimer::start));
    connect(settle, &QTimer::timeout, this, [this] { RequestReload(true); });
    auto* idle = new QTimer(this);
    idle->setInterval(150);
    connect(idle, &QTimer::timeout, this, [this] {
        UpdateActions();
        RunDeferredReloads();
    });
    idle->start();
}

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
        entries.push_back(std::move(entry));
    }
}

bool TForm1::CatalogueChanged() {
    const std::vector<BatchRow> rows = ListBatchRows(files_.catalogue, false);
    bool same = static_cast<int>(rows.size()) == BatchList->count();
    for (int i = 0; same && i < BatchList->count(); ++i) {
        const QListWidgetItem* item = BatchList->item(i);
        same = item->data(kNameRole).toString() == Q(rows[i].name) &&
               item->data(kIconRole).toString() == IconKey(rows[i]);
    }
    if (!same) {
        const auto selected = BatchList->selectedItems();
        const std::string was =
            selected.isEmpty() ? std::string() : S(selected.front()->data(kNameRole).toString());
        QListWidgetItem* keep = nullptr;
        {
            const QSignalBlocker block(BatchList);
            BatchList->clear();
            BatchIcons icons;
            for (const BatchRow& row : rows) {
                auto* item = NewBatchRow(icons.For(row.iconFile, row.iconIndex), row);
                BatchList->addItem(item);
                if (!keep && !was.empty() && utf8::EqualFolded(row.name, was)) {
                    keep = item;
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
            CurrentBatchName().clear();
            appListReady_ = false;
            AppList->clear();
            shownEntries_.clear();
            StatusText->clear();
            return true;
        }
        CurrentBatchName() = S(keep->data(kNameRole).toString());
    }
    if (!CurrentBatchName().empty() && ItemEntries() != shownEntries_) {
        Reload();
        return true;
    }
    return false;
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
        // The chooser edits the shared icon values; the batch's are put back.
        const std::string savedFile = CurrentIconFile();
        const int savedIndex = CurrentIconIndex();
        const auto savedPreview = std::exchange(Form5->setPreview, nullptr);
        CurrentIconFile() = iconFile;
        CurrentIconIndex() = index;
        const bool chosen = Modal([this] { return Form5->exec() == QDialog::Accepted; });
        if (chosen) {
            iconFile = CurrentIconFile();
            index = CurrentIconIndex();
        }
        CurrentIconFile() = savedFile;
        CurrentIconIndex() = savedIndex;
        Form5->setPreview = savedPreview;
        return chosen;
    };
    connect(sheet, &TLinkPropertiesForm::applied, this,
            [this] { Guarded(this, [this] { Reload(); }); });
    sheet->show();
}

TForm1::~TForm1() {
    watch_.reset();
    // Hiding the children as the window goes commits an open in-place edit
    // and moves the selection: nothing of that may reach a half-destroyed form.
    BatchList->disconnect(this);
    BatchList->itemDelegate()->disconnect(this);
    AppList->disconnect(this);
}

void TForm1::DirChangeChange() {
    if (closing_ || CurrentBatchName().empty()) {
        return;
    }
    Reload();
}

void TForm1::ProcessDroppedFiles(const QStringList& paths) {
    std::vector<fs::path> files;
    for (const QString& path : paths) {
        files.push_back(P(path));
    }
    AddDroppedFiles(files);
}

void TForm1::AddDroppedFiles(const std::vector<fs::path>& paths) {
    const auto selected = BatchList->selectedItems();
    if (selected.isEmpty()) {
        return; // no batch to add to: the drop is passed over
    }
    const std::string batch = S(selected.front()->data(kNameRole).toString());
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

QAction* TForm1::MakeAction(const char* name, const QString& caption, int image,
                            void (TForm1::*handler)()) {
    // The program's own pictures: they look the same, enabled and disabled,
    // under any icon theme or none.
    static const char* const images[] = {"pause", "add-batch", "add-application", "delete",
                                         "up",    "down",      "launch",          "shortcut"};
    auto* action = new QAction(caption, this);
    action->setObjectName(QString::fromLatin1(name));
    action->setToolTip(caption);
    if (image >= 0) {
        action->setIcon(ProgramPicture(images[image]));
    }
    connect(action, &QAction::triggered, this,
            [this, handler] { Command([&] { (this->*handler)(); }); });
    return action;
}

void TForm1::BuildActions() {
    aAddBatch = MakeAction("aAddBatch", "Add batch", 1, &TForm1::aAddBatchExecute);
    aDeleteBatch = MakeAction("aDeleteBatch", "Delete batch", -1, &TForm1::aDeleteBatchExecute);
    aLaunchBatch = MakeAction("aLaunchBatch", "Launch", 6, &TForm1::aLaunchBatchExecute);
    aBatchProperties =
        MakeAction("aBatchProperties", "Batch properties", -1, &TForm1::aBatchPropertiesExecute);
    aMakeShortcut = MakeAction("aMakeShortcut", "Make shortcut", 7, &TForm1::aMakeShortcutExecute);
    aAddApplication =
        MakeAction("aAddApplication", "Add application", 2, &TForm1::aAddApplicationExecute);
    aAddPause = MakeAction("aAddPause", "Add pause", 0, &TForm1::aAddPauseExecute);
    aFileProperties =
        MakeAction("aFileProperties", "Properties", -1, &TForm1::aFilePropertiesExecute);
    aDeleteApplication =
        MakeAction("aDeleteApplication", "Delete item", 3, &TForm1::aDeleteApplicationExecute);
    aUp = MakeAction("aUp", "Up", 4, &TForm1::aUpExecute);
    aDown = MakeAction("aDown", "Down", 5, &TForm1::aDownExecute);
    aLaunchApp = MakeAction("aLaunchApp", "Launch", -1, &TForm1::aLaunchAppExecute);
    aOptions = MakeAction("aOptions", "Options", -1, &TForm1::aOptionsExecute);
    aSwitchToDialog =
        MakeAction("aSwitchToDialog", "Switch to menu", -1, &TForm1::aSwitchToDialogExecute);
    aTB_Show = MakeAction("aTB_Show", "Show", -1, &TForm1::aTB_ShowExecute);
    aTB_Captions = MakeAction("aTB_Captions", "Captions", -1, &TForm1::aTB_CaptionsExecute);
    aTB_List = MakeAction("aTB_List", "List captions", -1, &TForm1::aTB_ListExecute);
    for (QAction* a : {aTB_Show, aTB_Captions, aTB_List}) {
        a->setCheckable(true);
    }
    // Keys, shown in the menus. Delete acts on the list that has the focus
    // (not on an open in-place editor); the others work anywhere in the window.
    aAddBatch->setShortcuts({QKeySequence(Qt::Key_Insert), QKeySequence(Qt::CTRL | Qt::Key_N)});
    aLaunchBatch->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)});
    aDeleteBatch->setShortcut(QKeySequence(Qt::Key_Delete));
    aDeleteApplication->setShortcut(QKeySequence(Qt::Key_Delete));
    aUp->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Up), QKeySequence(Qt::ALT | Qt::Key_Up)});
    aDown->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Down), QKeySequence(Qt::ALT | Qt::Key_Down)});
    for (QAction* a : {aDeleteBatch, aDeleteApplication, aUp, aDown}) {
        a->setShortcutContext(Qt::WidgetShortcut);
    }
    Exit1 = new QAction(QStringLiteral("Exit"), this);
    Exit1->setObjectName(QStringLiteral("Exit1"));
    connect(Exit1, &QAction::triggered, this, &QWidget::close);
    About1 = new QAction(QStringLiteral("About"), this);
    About1->setObjectName(QStringLiteral("About1"));
    connect(About1, &QAction::triggered, this, [this] { Guarded(this, [this] { AboutClick(); }); });
    Help2 = new QAction(QStringLiteral("Korvane Help"), this);
    Help2->setObjectName(QStringLiteral("Help2"));
    connect(Help2, &QAction::triggered, this, [this] { Guarded(this, [this] { Help2Click(); }); });
}

void TForm1::BuildWindow() {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* menuBar = new QMenuBar(this);
    menuBar->setObjectName(QStringLiteral("MainMenu1"));
    layout->setMenuBar(menuBar);

    CoolBar1 = new TPublishedBar(this);
    CoolBar1->setObjectName(QStringLiteral("CoolBar1"));
    auto* band = new QHBoxLayout(CoolBar1);
    band->setContentsMargins(2, 2, 2, 2);
    ToolBar1 = new TPublishedToolBar(CoolBar1);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setIconSize(QSize(16, 16));
    ToolBar1->SetShowCaptions(true);
    ToolBar1->SetList(true);
    ToolBar1->setContextMenuPolicy(Qt::CustomContextMenu);
    for (QAction* a : {aAddBatch, aLaunchBatch, aMakeShortcut}) {
        ToolBar1->addAction(a);
    }
    ToolBar1->addSeparator();
    for (QAction* a : {aAddApplication, aAddPause, aDeleteApplication, aUp, aDown}) {
        ToolBar1->addAction(a);
    }
    band->addWidget(ToolBar1, 1);
    layout->addWidget(CoolBar1);

    Splitter1 = new QSplitter(Qt::Horizontal, this);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setOpaqueResize(true);
    BatchList = new TPublishedListView(Splitter1);
    BatchList->setObjectName(QStringLiteral("BatchList"));
    BatchList->setIconSize(QSize(32, 32));
    BatchList->setSelectionMode(QAbstractItemView::SingleSelection);
    BatchList->setEditTriggers(QAbstractItemView::EditKeyPressed |
                               QAbstractItemView::SelectedClicked);
    BatchList->setUniformItemSizes(true);
    KeepOneColumn(BatchList, 2); // one column that fills the width
    BatchList->setContextMenuPolicy(Qt::CustomContextMenu);
    AppList = new QTreeWidget(Splitter1);
    AppList->setObjectName(QStringLiteral("AppList"));
    AppList->setHeaderLabels(
        {QStringLiteral("File"), QStringLiteral("Order"), QStringLiteral("Type")});
    AppList->setRootIsDecorated(false);
    // Every row has a 16 px icon, so uniform rows are as high as any of them.
    AppList->setIconSize(QSize(16, 16));
    AppList->setUniformRowHeights(true);
    AppList->setSelectionBehavior(QAbstractItemView::SelectRows);
    AppList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    AppList->setColumnWidth(0, 200);
    AppList->setColumnWidth(1, 40);
    AppList->setColumnWidth(2, 100);
    AppList->setContextMenuPolicy(Qt::CustomContextMenu);
    AppList->installEventFilter(this);
    Splitter1->addWidget(BatchList);
    Splitter1->addWidget(AppList);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({184, 474});
    layout->addWidget(Splitter1, 1);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusText = new QLabel(StatusBar1);
    StatusText->setObjectName(QStringLiteral("StatusText"));
    StatusBar1->addWidget(StatusText, 1);
    layout->addWidget(StatusBar1);

    BatchList->addAction(aDeleteBatch);
    AppList->addActions({aDeleteApplication, aUp, aDown});
    connect(BatchList, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* current) {
        Guarded(this, [&] { BatchListSelectItem(current); });
    });
    // A confirmed in-place edit renames even when the text is unchanged (the
    // batch then lists last); a changed text has renamed through itemChanged.
    connect(BatchList->itemDelegate(), &QAbstractItemDelegate::commitData, this,
            [this](QWidget* editor) {
                if (std::exchange(renamedByEdit_, false)) {
                    return;
                }
                auto* line = qobject_cast<QLineEdit*>(editor);
                QListWidgetItem* row = BatchList->currentItem();
                if (line && row) {
                    Command([&] { RenameRow(row, S(line->text())); });
                }
            });
    connect(BatchList, &QListWidget::itemChanged, this,
            [this](QListWidgetItem* row) { Command([&] { BatchListEdited(row); }); });
    connect(BatchList, &QListWidget::itemDoubleClicked, aLaunchBatch, &QAction::trigger);
    connect(AppList, &QTreeWidget::itemDoubleClicked, aFileProperties, &QAction::trigger);
    connect(AppList, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* row, int column) {
        // A change of the check box: written only when the list is filled
        // and the state really changed.
        if (!appListReady_ || column != 0) {
            return;
        }
        const bool now = row->checkState(0) == Qt::Checked;
        if (row->data(0, kCheckedRole).toBool() == now) {
            return;
        }
        row->setData(0, kCheckedRole, now);
        const int index = AppList->indexOfTopLevelItem(row);
        // A refused change: the box shows what the file holds.
        Command([&] { SetItemActive(files_, CurrentBatchName(), index, now); });
    });
}

void TForm1::BuildMenus() {
    auto* bar = findChild<QMenuBar*>(QStringLiteral("MainMenu1"));
    QMenu* file = bar->addMenu(QStringLiteral("&File"));
    file->addActions({aOptions, aSwitchToDialog});
    file->addSeparator();
    file->addAction(Exit1);
    QMenu* view = bar->addMenu(QStringLiteral("View"));
    QMenu* toolBar = view->addMenu(QStringLiteral("Tool bar"));
    toolBar->addActions({aTB_Show, aTB_Captions, aTB_List});
    QMenu* batches = bar->addMenu(QStringLiteral("&Batches"));
    batches->addAction(aLaunchBatch);
    batches->addSeparator();
    batches->addActions({aAddBatch, aDeleteBatch});
    batches->addSeparator();
    batches->addActions({aBatchProperties, aMakeShortcut});
    QMenu* apps = bar->addMenu(QStringLiteral("&Applications"));
    apps->addActions({aFileProperties, aLaunchApp});
    apps->addSeparator();
    apps->addActions({aAddApplication, aAddPause, aDeleteApplication});
    apps->addSeparator();
    apps->addActions({aUp, aDown});
    QMenu* help = bar->addMenu(QStringLiteral("&Help"));
    help->addActions({About1, Help2});

    BatchPopup = new QMenu(this);
    BatchPopup->setObjectName(QStringLiteral("BatchPopup"));
    BatchPopup->addAction(aLaunchBatch);
    BatchPopup->setDefaultAction(aLaunchBatch);
    BatchPopup->addSeparator();
    BatchPopup->addAction(aBatchProperties);
    BatchPopup->addSeparator();
    BatchPopup->addActions({aAddBatch, aDeleteBatch, aMakeShortcut});
    AppPopup = new QMenu(this);
    AppPopup->setObjectName(QStringLiteral("AppPopup"));
    AppPopup->addAction(aFileProperties);
    AppPopup->setDefaultAction(aFileProperties);
    AppPopup->addSeparator();
    AppPopup->addActions({aUp, aDown});
    AppPopup->addSeparator();
    AppPopup->addActions({aAddApplication, aAddPause, aDeleteApplication, aLaunchApp});
    TBPopup = new QMenu(this);
    TBPopup->setObjectName(QStringLiteral("TBPopup"));
    TBPopup->addActions({aTB_Show, aTB_Captions, aTB_List});
    connect(BatchList, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& p) { BatchPopup->popup(BatchList->viewport()->mapToGlobal(p)); });
    connect(AppList, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& p) { AppPopup->popup(AppList->viewport()->mapToGlobal(p)); });
    connect(ToolBar1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& p) { TBPopup->popup(ToolBar1->mapToGlobal(p)); });
}

std::vector<std::string> TForm1::BatchCaptions() const {
    std::vector<std::string> captions;
    for (int i = 0; i < BatchList->count(); ++i) {
        captions.push_back(S(BatchList->item(i)->text()));
    }
    return captions;
}

void TForm1::initList() {
    const QSignalBlocker block(BatchList);
    BatchList->clear();
    BatchIcons icons;
    for (const BatchRow& row : ListBatchRows(files_.catalogue, false)) {
        BatchList->addItem(NewBatchRow(icons.For(row.iconFile, row.iconIndex), row));
    }
    if (BatchList->count() > 0) {
        BatchList->setCurrentRow(0);
        BatchListSelectItem(BatchList->item(0));
    }
}

void TForm1::BatchListSelectItem(QListWidgetItem* row) {
    appListReady_ = false;
    AppList->clear();
    iconCache_.clear();
    typeCache_.clear();
    shownEntries_.clear();
    if (!row) {
        return;
    }
    CurrentBatchName() = S(row->data(kNameRole).toString());
    shownEntries_ = ItemEntries();
    ForEachItem(files_.catalogue, CurrentBatchName(), [this](int n, const tqAppInfo& item) {
        if (item.Kind == TItemKind::ikFile) {
            AddAppRow(item.Folder, item.Active);
        } else if (item.Kind == TItemKind::ikInterval) {
            AddIntervalRow(item.Time, item.Active);
        } else {
            // An entry of no known kind keeps its place so that the rows
            // stay aligned with the item numbers.
            auto* unknown = new QTreeWidgetItem(
                AppList, {Q(item.Fields[0]), QString::number(n + 1), QStringLiteral("Undefined")});
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
            if (utf8::EqualFolded(S(BatchList->item(i)->data(kNameRole).toString()),
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
    const fs::path batchFolder = BatchFolder(files_, CurrentBatchName());
    const auto folder = ItemFolder(batchFolder, folderField);
    const std::string found = folder ? FindItemFile(*folder) : std::string();
    const fs::path file = folder ? *folder / utf8::ToPath(found) : fs::path();
    const std::string target = found.empty() ? std::string() : shell::ReadLinkTarget(file);
    QString type = QStringLiteral("Undefined");
    QIcon icon;
    if (!target.empty()) {
        auto [it, fresh] = typeCache_.try_emplace(target);
        if (fresh) {
            static QMimeDatabase db;
            const QMimeType mime = db.mimeTypeForFile(Q(target));
            // Nothing known about it ("application/octet-stream") stays "Undefined".
            it->second = mime.isDefault() ? QString() : mime.comment();
        }
        if (!it->second.isEmpty()) {
            type = it->second;
        }
    }
    if (!found.empty()) {
        int iconIndex = 0;
        const std::string iconFile = shell::ReadLinkIconLocation(file, &iconIndex);
        if (!iconFile.empty()) {
            icon = ExtractIcon(Q(iconFile), iconIndex);
        }
        if (icon.isNull()) {
            const std::string key = target.empty() ? utf8::FromPath(file) : target;
            auto [it, fresh] = iconCache_.try_emplace(key);
            if (fresh) {
                it->second = FileTypeIcon(Q(key));
            }
            icon = it->second;
        }
    }
    const int order = AppList->topLevelItemCount() + 1;
    auto* row = new QTreeWidgetItem(
        AppList, {Q(utf8::DisplayFileName(utf8::FromPath(utf8::ToPath(found).stem()))),
                  QString::number(order), type});
    row->setIcon(0, icon.isNull() ? ProgramPicture("document") : icon); // never a row without one
    row->setData(0, kFolderRole, folder ? QP(*folder / "") : QString());
    row->setFlags(row->flags() | Qt::ItemIsUserCheckable);
    row->setCheckState(0, active ? Qt::Checked : Qt::Unchecked);
    row->setData(0, kCheckedRole, active);
}

void TForm1::AddIntervalRow(double length, bool active) {
    const int order = AppList->topLevelItemCount() + 1;
    auto* row = new QTreeWidgetItem(
        AppList, {Q(FormatClockTime(length)), QString::number(order), QStringLiteral("Pause")});
    row->setIcon(0, aAddPause->icon());
    row->setFlags(row->flags() | Qt::ItemIsUserCheckable);
    row->setCheckState(0, active ? Qt::Checked : Qt::Unchecked);
    row->setData(0, kCheckedRole, active);
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

void TForm1::DropItemRow(const QPoint& pos) {
    const int from = SelectedIndex();
    QTreeWidgetItem* target = AppList->itemAt(pos);
    const int to = target ? AppList->indexOfTopLevelItem(target) : AppList->topLevelItemCount() - 1;
    if (from < 0 || to < 0 || from == to) {
        return;
    }
    if (MoveItemTo(files_, CurrentBatchName(), from, to)) {
        Reload();
        SelectItemRow(to);
    }
}

void TForm1::UpdateActions() {
    const bool batchSelected = !BatchList->selectedItems().isEmpty();
    const bool itemSelected = SelectedRow() != nullptr;
    for (QAction* a :
         {aDeleteBatch, aLaunchBatch, aBatchProperties, aMakeShortcut, aAddApplication}) {
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
        if (utf8::EqualFolded(S(BatchList->item(i)->data(kNameRole).toString()),
                              CurrentBatchName())) {
            return BatchList->item(i);
        }
    }
    return nullptr;
}

void TForm1::BatchListEdited(QListWidgetItem* row) {
    const std::string newName = S(row->text());
    if (S(row->data(kNameRole).toString()) == newName) {
        return; // an icon or a programmatic change, not an edit
    }
    renamedByEdit_ = true;
    RenameRow(row, newName);
}

void TForm1::RenameRow(QListWidgetItem* row, const std::string& newName) {
    if (!row) {
        return;
    }
    const std::string oldName = S(row->data(kNameRole).toString());
    const QSignalBlocker block(BatchList);
    std::string stored;
    try {
        stored = RenameBatch(files_, oldName, newName);
    } catch (...) {
        row->setText(Q(oldName));
        throw;
    }
    row->setText(Q(stored));
    row->setData(kNameRole, Q(stored));
    if (utf8::EqualFolded(CurrentBatchName(), oldName)) {
        CurrentBatchName() = stored;
    }
    MoveDesktopShortcut(oldName, stored);
}

void TForm1::MoveDesktopShortcut(const std::string& oldName, const std::string& newName) {
    // Only this program's own shortcut of the batch: one that runs it.
    const fs::path old = shell::DesktopLinkPath(shell::DesktopLinkName(oldName));
    std::error_code ec;
    if (oldName == newName || !fs::exists(old, ec)) {
        return;
    }
    const fs::path target = utf8::ToPath(shell::ReadLinkTarget(old));
    if (target.lexically_normal() != files_.executable.lexically_normal() &&
        !fs::equivalent(target, files_.executable, ec)) {
        return;
    }
    if (MakeDesktopShortcut(newName) &&
        old != shell::DesktopLinkPath(shell::DesktopLinkName(newName))) {
        fs::remove(old, ec);
    }
}

bool TForm1::MakeDesktopShortcut(const std::string& batch) {
    // A batch without an icon of its own shows the program's.
    const std::string iconFile = files_.catalogue.ReadText(batch, "IconFile", "");
    return shell::CreateDesktopLink(
        shell::DesktopLinkName(batch), files_.executable, {batch},
        iconFile.empty() ? 0 : files_.catalogue.ReadNumber(batch, "IconIndex", 0),
        iconFile.empty() ? utf8::FromPath(shell::ProgramIconFile())
                         : shell::ResolveIconSource(iconFile));
}

void TForm1::aAddBatchExecute() {
    const std::string name = NewBatchName(BatchCaptions());
    CreateBatch(files_, name, random_);
    auto* row = NewBatchRow(DefaultBatchIcon(), BatchRow{name, "", 0});
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
    DeleteBatch(files_, S(row->data(kNameRole).toString()));
    CurrentBatchName().clear();
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
    Modal([&] { launchBatch(batch); });
}

void TForm1::aBatchPropertiesExecute() {
    Modal([this] { return BatchPropertiesForm->exec(); });
}

void TForm1::aMakeShortcutExecute() {
    const std::string batch = CurrentBatchName();
    if (batch.empty()) {
        return;
    }
    if (!MakeDesktopShortcut(batch)) {
        throw Error("The shortcut " +
                    utf8::FromPath(shell::DesktopLinkPath(shell::DesktopLinkName(batch))) +
                    " could not be written");
    }
}

void TForm1::aAddApplicationExecute() {
    if (CurrentBatchName().empty()) {
        return;
    }
    const std::string batch = CurrentBatchName();
    const QString picked = Modal([this] { return chooseFile(); });
    if (picked.isEmpty()) {
        return;
    }
    AddApplicationItem(files_, batch, P(picked), random_, shell::CreateItemLink);
    Reload();
    SelectLastItemRow();
}

void TForm1::aAddPauseExecute() {
    if (CurrentBatchName().empty()) {
        return;
    }
    const std::string batch = CurrentBatchName();
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
    const int index = AppList->indexOfTopLevelItem(row);
    if (row->text(2) == QStringLiteral("Pause")) {
        // Nothing of the row is used once the dialog is open: the list may
        // be read again meanwhile.
        const std::string batch = CurrentBatchName();
        Form3->SetTime(ParseClockTime(S(row->text(0))));
        row = nullptr;
        if (Modal([this] { return runIntervalDialog(*Form3); })) {
            tqAppInfo item;
            DecodeItemEntry(files_.catalogue.ReadText(batch, ItemKey(index), ""), item);
            if (item.Kind != TItemKind::ikInterval) {
                throw Error("The pause is no longer in the batch \"" + batch +
                            "\": another program changed it");
            }
            SetPauseLength(files_, batch, index, Form3->Time(), item.Active);
            Reload();
        }
        return;
    }
    const fs::path folder = P(row->data(0, kFolderRole).toString());
    const std::string caption = S(row->text(0));
    for (const char* ext : {".lnk", ".desktop", ".pif"}) {
        const fs::path file = FindIgnoringCase(folder, caption + ext);
        if (!file.empty()) {
            showFileProperties(file);
            return;
        }
    }
    ShowMessage(this, QStringLiteral("File ") + QP(folder / utf8::ToPath(caption + ".pif")) +
                          QStringLiteral("/lnk has not found"));
}

void TForm1::aDeleteApplicationExecute() {
    const int index = SelectedIndex();
    if (index < 0) {
        return;
    }
    DeleteItem(files_, CurrentBatchName(), index);
    AppList->clearSelection();
    Reload();
}

void TForm1::aUpExecute() {
    const int index = SelectedIndex();
    if (index > 0 && MoveItem(files_, CurrentBatchName(), index, -1)) {
        Reload();
        SelectItemRow(index - 1);
    }
}

void TForm1::aDownExecute() {
    const int index = SelectedIndex();
    if (index >= 0 && MoveItem(files_, CurrentBatchName(), index, +1)) {
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
    const fs::path help = shell::ProgramDataFolder() / "_Help"; // shipped with the program
    shellOpen(help / "kv.chm", "", help);
}

void TForm1::AboutClick() {
    Modal([this] { return AboutBox->exec(); });
}

namespace {

// What a drop of files onto the item list does: it copies or links them,
// never moves them away from where the user keeps them. NoAction when the
// source offers neither.
Qt::DropAction ItemDropAction(Qt::DropActions offered) {
    if (offered & Qt::CopyAction) {
        return Qt::CopyAction;
    }
    return offered & Qt::LinkAction ? Qt::LinkAction : Qt::IgnoreAction;
}

// A row of the item list dragged within it (the view's own drag data).
bool IsItemDrag(const QMimeData* data) {
    return data && data->hasFormat(QStringLiteral("application/x-qabstractitemmodeldatalist"));
}

// The local files of a drop, in the order given; empty when it holds none.
// Taken from the URI list as bytes: a file name need not be UTF-8, and a
// detour through text would change it.
std::vector<fs::path> LocalFiles(const QMimeData* data) {
    std::vector<fs::path> files;
    if (!data || !data->hasUrls()) {
        return files;
    }
    for (QByteArray line : data->data(QStringLiteral("text/uri-list")).split('\n')) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith('#')) {
            continue;
        }
        // file:///path or file://localhost/path; other hosts are not here.
        const QByteArray scheme = "file://";
        if (!line.toLower().startsWith(scheme)) {
            continue;
        }
        QByteArray rest = line.mid(scheme.size());
        const int slash = rest.indexOf('/');
        const QByteArray host = slash < 0 ? rest : rest.left(slash);
        if (slash < 0 || (!host.isEmpty() && host.toLower() != "localhost")) {
            continue;
        }
        const QByteArray bytes = QByteArray::fromPercentEncoding(rest.mid(slash));
        files.push_back(utf8::ToPath(
            std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()))));
    }
    return files;
}

} // namespace

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == AppList->viewport() && !closing_) {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDragMoveEvent*>(event);
            if (IsItemDrag(drag->mimeData())) { // a row dragged up or down
                drag->setDropAction(Qt::MoveAction);
                drag->accept();
                return true;
            }
            const Qt::DropAction action = ItemDropAction(drag->possibleActions());
            if (action != Qt::IgnoreAction && !LocalFiles(drag->mimeData()).empty()) {
                drag->setDropAction(action);
                drag->accept();
            } else {
                drag->ignore();
            }
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            if (IsItemDrag(drop->mimeData())) {
                // Written as Up/Down steps; the list is rebuilt from the catalogue.
                drop->setDropAction(Qt::IgnoreAction);
                drop->accept();
                const QPoint pos = drop->position().toPoint();
                Guarded(this, [&] { DropItemRow(pos); });
                return true;
            }
            const std::vector<fs::path> files = LocalFiles(drop->mimeData());
            const Qt::DropAction action = ItemDropAction(drop->possibleActions());
            if (files.empty() || action == Qt::IgnoreAction) {
                drop->ignore();
                return true;
            }
            drop->setDropAction(action);
            drop->accept();
            Command([&] { AddDroppedFiles(files); });
            return true;
        }
        default:
            break;
        }
    }
    if (watched == AppList && event->type() == QEvent::KeyPress) {
        const auto* keyEvent = static_cast<QKeyEvent*>(event);
        const int key = keyEvent->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) &&
            !(keyEvent->modifiers() & Qt::ControlModifier)) {
            aFileProperties->trigger();
            return true;
        }
    }
    return TPublishedForm::eventFilter(watched, event);
}

void TForm1::closeEvent(QCloseEvent* event) {
    // No drops and no reloads from here on.
    closing_ = true;
    watch_.reset();
    disconnect(BatchList, &QListWidget::currentItemChanged, this, nullptr);
    Guarded(this, [this] {
        SaveLayout(files_.layoutFile, *this);
        SaveLayout(files_.layoutFile, *CoolBar1);
        SaveLayout(files_.layoutFile, *ToolBar1);
        SaveLayout(files_.layoutFile, *BatchList);
    });
    event->accept();
    emit closed();
}

} // namespace korvane

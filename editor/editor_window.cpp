#include "editor/editor_window.h"

#include "editor/drop_policy.h"
#include "editor/editor_internal.h"

#include "app/reported_run.h"
#include "appearance/batch_appearance.h"
#include "editor/about_box.h"
#include "editor/application_picker.h"
#include "editor/file_properties.h"
#include "editor/interval_dialog.h"
#include "editor/last_launch_dialog.h"
#include "editor/link_properties.h"
#include "editor/options_dialog.h"
#include "editor/pick_list_dialog.h"
#include "gui/context_menu_keys.h"
#include "gui/dialog_frame.h"
#include "gui/error_report.h"
#include "gui/icons.h"
#include "gui/one_column.h"
#include "layout/layout_file.h"
#include "layout/published_controls.h"
#include "shell/folder_watch.h"
#include "shell/icon_source.h"
#include "shell/shell.h"
#include "store/catalogue_edit.h"
#include "store/clock_time.h"
#include "store/errors.h"
#include "store/file_io.h"
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
#include <QThread>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <QWindow>

#include <chrono>
#include <utility>

namespace fs = std::filesystem;

namespace korvane {

TForm1::TForm1(ProgramFiles& files, QWidget* parent)
    : TPublishedForm(parent), files_(files),
      random_(static_cast<unsigned>(std::chrono::system_clock::now().time_since_epoch().count())) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Korvane"));
    resize(658, 378);
    move(194, 248);
    SetDefaultHooks();
    BuildActions();
    BuildWindow();
    BuildMenus();
    // FormCreate
    std::error_code ec;
    fs::current_path(files_.folder, ec);
    SetCurrentBatch({});
    Guarded(this, [this] { initList(); });
    UpdateActions();
    // Files dropped from a file manager onto the item list.
    AppList->setAcceptDrops(true);
    AppList->viewport()->setAcceptDrops(true);
    AppList->setDragEnabled(true); // rows are dragged up and down to reorder them
    AppList->setDragDropMode(QAbstractItemView::DragDrop);
    AppList->viewport()->installEventFilter(this);
    StartWatches();
    SayWhenWaitingForOthers();
}

// What the window does to the world, unless a test says otherwise.
void TForm1::SetDefaultHooks() {
    chooseApplications = [this] { return ChooseApplications(this); };
    runIntervalDialog = [](TForm3& dialog) { return dialog.exec() == QDialog::Accepted; };
    launchBatch = [this](const std::string& batch) {
        RunnerHooks hooks;
        hooks.processMessages = [] { QCoreApplication::processEvents(); };
        ReportedRunOptions options;
        options.origin = kFromEditor;
        LaunchReported(files_, batch, options, hooks);
    };
    launchItem = [this](const std::string& batch, int index) { LaunchItem(files_, batch, index); };
    showFileProperties = [this](const fs::path& file) { ShowLinkProperties(file); };
    shellOpen = [](const fs::path& file, const std::string& parameters, const fs::path& folder) {
        shell::ShellOpen(file, parameters, folder);
    };
    showLastLaunch = [](TLastLaunchForm& dialog) { dialog.exec(); };
    runPickList = [](TPickListForm& dialog) { return dialog.exec() == QDialog::Accepted; };
}

TForm1::~TForm1() {
    FolderLock::SetWaitNotice({});
    watch_.reset();
    // Hiding the children as the window goes commits an open in-place edit
    // and moves the selection: nothing of that may reach a half-destroyed form.
    BatchList->disconnect(this);
    BatchList->itemDelegate()->disconnect(this);
    AppList->disconnect(this);
}

QAction* TForm1::MakeAction(const char* name, const QString& caption, const char* picture,
                            void (TForm1::*handler)()) {
    auto* action = new QAction(caption, this);
    action->setObjectName(QString::fromLatin1(name));
    action->setToolTip(caption);
    if (picture) {
        // The program's own pictures: they look the same, enabled and
        // disabled, under any icon theme or none.
        action->setIcon(ProgramPicture(picture));
    }
    connect(action, &QAction::triggered, this,
            [this, handler] { Command([&] { (this->*handler)(); }); });
    return action;
}

void TForm1::BuildActions() {
    aAddBatch = MakeAction("aAddBatch", "&Add batch", "add-batch", &TForm1::aAddBatchExecute);
    aDeleteBatch =
        MakeAction("aDeleteBatch", "&Delete batch", nullptr, &TForm1::aDeleteBatchExecute);
    aLaunchBatch = MakeAction("aLaunchBatch", "&Launch", "launch", &TForm1::aLaunchBatchExecute);
    aLastLaunch =
        MakeAction("aLastLaunch", "Last la&unch...", nullptr, &TForm1::aLastLaunchExecute);
    aImportAutostart = MakeAction("aImportAutostart", "&Import from autostart...", nullptr,
                                  &TForm1::aImportAutostartExecute);
    aGiveBackAutostart = MakeAction("aGiveBackAutostart", "&Give back to autostart...", nullptr,
                                    &TForm1::aGiveBackAutostartExecute);
    aBatchProperties = MakeAction("aBatchProperties", "Batch &properties", nullptr,
                                  &TForm1::aBatchPropertiesExecute);
    aMakeShortcut =
        MakeAction("aMakeShortcut", "Make &shortcut", "shortcut", &TForm1::aMakeShortcutExecute);
    aAddApplication = MakeAction("aAddApplication", "&Add application", "add-application",
                                 &TForm1::aAddApplicationExecute);
    aAddPause = MakeAction("aAddPause", "Add pau&se", "pause", &TForm1::aAddPauseExecute);
    aFileProperties =
        MakeAction("aFileProperties", "&Properties", nullptr, &TForm1::aFilePropertiesExecute);
    aDeleteApplication = MakeAction("aDeleteApplication", "Dele&te item", "delete",
                                    &TForm1::aDeleteApplicationExecute);
    aUp = MakeAction("aUp", "&Up", "up", &TForm1::aUpExecute);
    aDown = MakeAction("aDown", "&Down", "down", &TForm1::aDownExecute);
    aLaunchApp = MakeAction("aLaunchApp", "&Launch", nullptr, &TForm1::aLaunchAppExecute);
    aOptions = MakeAction("aOptions", "&Options", nullptr, &TForm1::aOptionsExecute);
    aSwitchToDialog =
        MakeAction("aSwitchToDialog", "S&witch to menu", nullptr, &TForm1::aSwitchToDialogExecute);
    aTB_Show = MakeAction("aTB_Show", "&Show", nullptr, &TForm1::aTB_ShowExecute);
    aTB_Captions = MakeAction("aTB_Captions", "&Captions", nullptr, &TForm1::aTB_CaptionsExecute);
    aTB_List = MakeAction("aTB_List", "&List captions", nullptr, &TForm1::aTB_ListExecute);
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
    Exit1 = new QAction(QStringLiteral("E&xit"), this);
    Exit1->setObjectName(QStringLiteral("Exit1"));
    connect(Exit1, &QAction::triggered, this, &QWidget::close);
    About1 = new QAction(QStringLiteral("&About"), this);
    About1->setObjectName(QStringLiteral("About1"));
    connect(About1, &QAction::triggered, this, [this] { Guarded(this, [this] { AboutClick(); }); });
    Help2 = new QAction(QStringLiteral("Korvane &Help"), this);
    Help2->setObjectName(QStringLiteral("Help2"));
    Help2->setShortcut(QKeySequence::HelpContents);
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

    BuildLists(layout);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusText = new QLabel(StatusBar1);
    StatusText->setObjectName(QStringLiteral("StatusText"));
    StatusBar1->addWidget(StatusText, 1);
    layout->addWidget(StatusBar1);
    ConnectLists();
}

// The batch list and the item list, side by side.
void TForm1::BuildLists(QVBoxLayout* layout) {
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
    BatchList->setAccessibleName(QStringLiteral("Batches"));
    OpenContextMenuFromKeys(BatchList);
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
    AppList->setAccessibleName(QStringLiteral("Items"));
    OpenContextMenuFromKeys(AppList);
    AppList->installEventFilter(this);
    Splitter1->addWidget(BatchList);
    Splitter1->addWidget(AppList);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({184, 474});
    layout->addWidget(Splitter1, 1);
}

// What the lists' own signals do.
void TForm1::ConnectLists() {
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
                    Command([&] { RenameRow(row, StdStringFrom(line->text())); });
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
        Command([&] {
            const std::string written =
                SetItemActive(files_, CurrentBatch(), ShownItem(index), now);
            // What the row stands for now, for the next change of its box.
            std::string& shown = shownEntries_[static_cast<std::size_t>(index)];
            shown = written + shown.substr(std::min(shown.find('\n'), shown.size()));
        });
    });
}

void TForm1::BuildMenus() {
    auto* bar = findChild<QMenuBar*>(QStringLiteral("MainMenu1"));
    QMenu* file = bar->addMenu(QStringLiteral("&File"));
    file->addActions({aOptions, aSwitchToDialog});
    file->addSeparator();
    file->addAction(Exit1);
    QMenu* view = bar->addMenu(QStringLiteral("&View"));
    QMenu* toolBar = view->addMenu(QStringLiteral("&Tool bar"));
    toolBar->addActions({aTB_Show, aTB_Captions, aTB_List});
    QMenu* batches = bar->addMenu(QStringLiteral("&Batches"));
    batches->addActions({aLaunchBatch, aLastLaunch});
    batches->addSeparator();
    batches->addActions({aAddBatch, aDeleteBatch});
    batches->addSeparator();
    batches->addActions({aBatchProperties, aMakeShortcut});
    batches->addSeparator();
    batches->addActions({aImportAutostart, aGiveBackAutostart});
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
    BatchPopup->addAction(aLastLaunch);
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

#pragma once

#include "gui/current_batch.h"
#include "gui/icons.h"
#include "layout/published_form.h"
#include "shell/batch_shortcut.h"
#include "store/catalogue.h"

#include <QIcon>

#include <atomic>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

class QAction;
class QLabel;
class QListWidgetItem;
class QMenu;
class QSplitter;
class QStatusBar;
class QTreeWidget;
class QTreeWidgetItem;
class QVBoxLayout;

namespace korvane {

class TLastLaunchForm;
class TPickListForm;

class FolderWatch;
class TAboutBox;
class TBatchPropertiesForm;
class TForm5;
class TForm3;
class TOptionsForm;
class TPublishedBar;
class TPublishedListView;
class TPublishedToolBar;

// The batch editor: every batch on the left, the items of the current batch
// on the right. The lists only mirror the catalogue and are rebuilt from it.
class TForm1 : public TPublishedForm {
    Q_OBJECT

  public:
    explicit TForm1(ProgramFiles& files, QWidget* parent = nullptr);
    ~TForm1() override;

    // What the window does to the world, replaceable for tests.
    std::function<QStringList()> chooseApplications; // empty when cancelled
    std::function<bool(TForm3&)> runIntervalDialog;  // true on OK
    std::function<void(const std::string& batch)> launchBatch;
    std::function<void(const std::string& batch, int index)> launchItem;
    std::function<void(const std::filesystem::path& file)> showFileProperties;
    std::function<void(const std::filesystem::path& file, const std::string& parameters,
                       const std::filesystem::path& folder)>
        shellOpen;
    std::function<void(TLastLaunchForm&)> showLastLaunch;
    std::function<bool(TPickListForm&)> runPickList; // true on confirm

    void initList();
    // Files dropped on the item list: application items of the selected batch, in order.
    void ProcessDroppedFiles(const QStringList& paths);
    void AddDroppedFiles(const std::vector<std::filesystem::path>& paths);
    // Adds files as application items of batch, in order.
    void AddApplications(const BatchRef& batch, const std::vector<std::filesystem::path>& paths);
    // A change in the Shortcuts tree: the shown batch is read again.
    void DirChangeChange();
    void BatchListSelectItem(QListWidgetItem* row);
    // The item list read again, the selected item kept selected.
    void Reload();
    // batches.lst changed (maybe by another process): the batch list follows
    // it, keeping the selected batch, and so does the item list; whether the
    // item list was read again.
    bool CatalogueChanged();
    void UpdateActions();

    TPublishedBar* coolBar() const { return CoolBar1; }
    TPublishedToolBar* toolBar() const { return ToolBar1; }
    TPublishedListView* batchList() const { return BatchList; }
    std::vector<std::string> BatchCaptions() const;
    // The dialogs are built when first opened; this builds them now.
    void BuildDialogs();

  signals:
    // After the layout is saved; the process ends with it.
    void closed();

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QAction* MakeAction(const char* name, const QString& caption, const char* picture,
                        void (TForm1::*handler)());
    void SetDefaultHooks();
    void BuildActions();
    void StartWatches();
    // A command waiting for another process's write says so in the status line.
    void SayWhenWaitingForOthers();
    std::filesystem::path WatchedBatchFolder() const;
    void BuildWindow();
    void BuildLists(QVBoxLayout* layout);
    void ConnectLists();
    void BuildMenus();
    void AddAppRow(const std::string& folderField, bool active);
    void AddIntervalRow(double length, bool active);
    // The item at index as the list shows it, for edits that check it is still there.
    ItemRef ShownItem(int index) const;
    QTreeWidgetItem* SelectedRow() const;
    int SelectedIndex() const;
    void SelectItemRow(int index);
    void SelectLastItemRow();
    void ShowLinkProperties(const std::filesystem::path& file);
    // An item dragged within the item list to the row at pos.
    void DropItemRow(const QPoint& pos);
    void BatchListEdited(QListWidgetItem* row);
    void RenameRow(QListWidgetItem* row, const std::string& newName);
    // This program's desktop shortcut of a renamed batch follows the name.
    void MoveDesktopShortcut(const std::string& oldName, const std::string& newName);
    shell::ShortcutIcon ShortcutIconOf(const std::string& batch) const;
    QListWidgetItem* CurrentBatchRow() const;
    // The row of the batch, as long as the list shows that batch (name and ID).
    QListWidgetItem* RowOf(const BatchRef& batch) const;
    // Runs a modal dialog (or anything with an event loop of its own); a
    // reload asked for meanwhile waits until it is over, so that no row or
    // item the command still refers to goes away under it.
    template <class F> auto Modal(F&& run);
    // Reloads asked for by the watches: now, or once no dialog is open.
    void RequestReload(bool catalogue);
    void RunDeferredReloads();
    // Runs a handler of the user's; when it is refused (an error reported),
    // the lists show what the files hold again once the handler is out of
    // the way.
    template <class F> void Command(F&& handler);
    void ShowWhatTheFilesHold();
    std::vector<std::string> ItemEntries() const;

    void aAddBatchExecute();
    void aDeleteBatchExecute();
    void aLaunchBatchExecute();
    void aLastLaunchExecute();
    void SayWhatDidNotStart(const std::string& batch, const std::filesystem::path& newestBefore);
    void aImportAutostartExecute();
    void aGiveBackAutostartExecute();
    void aBatchPropertiesExecute();
    void aMakeShortcutExecute();
    void aAddApplicationExecute();
    void aAddPauseExecute();
    void aFilePropertiesExecute();
    void aDeleteApplicationExecute();
    void aUpExecute();
    void aDownExecute();
    void aLaunchAppExecute();
    void aOptionsExecute();
    void aSwitchToDialogExecute();
    void aTB_ShowExecute();
    void aTB_CaptionsExecute();
    void aTB_ListExecute();
    void Help2Click();
    void AboutClick();

    ProgramFiles& files_;
    std::mt19937 random_;
    std::unique_ptr<FolderWatch> watch_;
    std::atomic<bool> reloadPending_{false};
    bool closing_ = false;
    bool appListReady_ = false;
    bool renamedByEdit_ = false; // the in-place edit being committed renamed already
    int modal_ = 0;              // dialogs and runs under way
    bool itemsReloadDeferred_ = false;
    bool catalogueReloadDeferred_ = false;
    std::vector<std::string> shownEntries_;    // the item entries the item list shows
    ItemIcons itemIcons_;                      // per fill
    std::map<std::string, QString> typeCache_; // per fill

    TPublishedBar* CoolBar1 = nullptr;
    TPublishedToolBar* ToolBar1 = nullptr;
    QSplitter* Splitter1 = nullptr;
    TPublishedListView* BatchList = nullptr;
    QTreeWidget* AppList = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QLabel* StatusText = nullptr;
    QMenu* BatchPopup = nullptr;
    QMenu* AppPopup = nullptr;
    QMenu* TBPopup = nullptr;
    TForm3* Form3 = nullptr;
    TOptionsForm* OptionsForm = nullptr;
    TAboutBox* AboutBox = nullptr;
    TForm5* Form5 = nullptr;
    TBatchPropertiesForm* BatchPropertiesForm = nullptr;

  public:
    QAction *aAddBatch = nullptr, *aDeleteBatch = nullptr, *aLaunchBatch = nullptr,
            *aLastLaunch = nullptr, *aImportAutostart = nullptr, *aGiveBackAutostart = nullptr,
            *aBatchProperties = nullptr, *aMakeShortcut = nullptr, *aAddApplication = nullptr,
            *aAddPause = nullptr, *aFileProperties = nullptr, *aDeleteApplication = nullptr,
            *aUp = nullptr, *aDown = nullptr, *aLaunchApp = nullptr, *aOptions = nullptr,
            *aSwitchToDialog = nullptr, *aTB_Show = nullptr, *aTB_Captions = nullptr,
            *aTB_List = nullptr, *Exit1 = nullptr, *About1 = nullptr, *Help2 = nullptr;
};

} // namespace korvane

#pragma once

#include "gui/current_batch.h"
#include "layout/published_form.h"
#include "menu/startup_logic.h"
#include "store/catalogue.h"

#include <QPoint>

#include <cstdint>
#include <functional>
#include <string>

class QAction;
class QFrame;
class QLabel;
class QListWidget;
class QMenu;
class QProgressBar;
class QTimer;
class QVBoxLayout;
class QToolButton;

namespace korvane {

// The borderless startup menu: the batches marked for it, a countdown that
// launches the preselected one, and a context menu of single applications.
class TForm2 : public TPublishedForm {
    Q_OBJECT

  public:
    explicit TForm2(ProgramFiles& files, QWidget* parent = nullptr);

    // What the window does to the world, replaceable for tests.
    std::function<void(const std::string& batch)> launchBatch;
    std::function<void(const std::string& batch, int index)> launchItem;
    std::function<void()> startEditor;
    // Asks the window system to move the window with the pointer (the only
    // way on Wayland); false when it cannot, and the drag moves it itself.
    std::function<bool()> startSystemMove;
    std::function<std::int64_t()> clock; // milliseconds, monotonic

    void FormShow();
    void StopTimer();
    void Timer1Timer();
    void RunBatch();
    void ListView1DblClick();
    void ListView1SelectItem();
    void SpeedButton1Click();
    void SpeedButton2Click();

    bool CountdownRunning() const;

  signals:
    // After the layout is saved; the process ends with it.
    void closed();

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void BuildControls();
    void BuildHeader(QVBoxLayout* panel);
    bool HeaderMouse(QEvent* event);
    bool PanelMouse(QEvent* event);
    bool ListKey(QEvent* event);
    bool ListMouse(QEvent* event);
    std::string SelectedBatch() const;
    // Fills the list from the catalogue and selects keep when it is listed,
    // else the default batch, else the first row. The default batch's row,
    // -1 when it is not listed.
    int FillList(const std::string& keep);
    void EndDrag();

    ProgramFiles& files_;
    // A run lets the window system work between items: nothing may start a
    // second one, launch an item or close the menu under it meanwhile.
    bool launching_ = false;
    bool fromCountdown_ = false;
    QFrame* Panel1 = nullptr;
    QWidget* CoolBar1 = nullptr;
    QLabel* Label1 = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    QToolButton* SpeedButton2 = nullptr;
    QListWidget* ListView1 = nullptr;
    QWidget* Panel2 = nullptr;
    QLabel* DefTimeLabel = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QTimer* Timer1 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* Launch1 = nullptr;

    std::int64_t countdownLength_ = 0;
    std::int64_t countdownStart_ = 0;
    bool shownOnce_ = false;
    bool dragging_ = false;
    bool moving_ = false;
    QPoint press_;       // global point where a move began / last resize step (panel coordinates)
    QPoint pressWindow_; // window position when a move began
    ResizeZone zone_ = ResizeZone::None;
};

} // namespace korvane

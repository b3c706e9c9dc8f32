#include "menu/startup_menu.h"

#include "app/item_row.h"

#include "app/problem_notice.h"
#include "app/reported_run.h"
#include "gui/context_menu_keys.h"
#include "gui/error_report.h"
#include "gui/icons.h"
#include "gui/list_rows.h"
#include "gui/one_column.h"
#include "gui/product_title.h"
#include "layout/layout_file.h"
#include "menu/wait_strip.h"
#include "shell/readiness.h"
#include "shell/shell.h"
#include "store/clock_time.h"
#include "store/utf8.h"

#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QProgressBar>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>

namespace korvane {

namespace {

std::int64_t SteadyMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

TForm2::TForm2(ProgramFiles& files, QWidget* parent)
    : TPublishedForm(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      files_(files) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Korvane"));
    SetPosition(poDesktopCenter);
    setMinimumSize(200, 200);
    resize(292, 291);
    clock = SteadyMs;
    launchBatch = [this](const std::string& batch) {
        RunnerHooks hooks;
        hooks.processMessages = [] { QCoreApplication::processEvents(); };
        // Waits and long pauses show a strip that can stop the launch.
        shell::ResumeWaits();
        auto strip = std::make_unique<TWaitStrip>();
        strip->move(geometry().topLeft());
        strip->resize(width(), strip->sizeHint().height());
        std::string current; // the item last started
        hooks.item = [&current](const ItemRecord& item) { current = item.name; };
        hooks.wait = [&](const ItemWait& wait, long long pid, const std::string& windowClass) {
            return strip->Wait(QString::fromStdString(WaitingText(current, wait)),
                               std::chrono::seconds(wait.limitSeconds), [wait, pid, windowClass] {
                                   return shell::WaitUntilReady(wait, pid, windowClass);
                               });
        };
        hooks.sleep = [&](std::chrono::milliseconds length) {
            if (length < std::chrono::seconds(1)) {
                RunnerHooks::DefaultSleep(length);
                return;
            }
            strip->Wait(QStringLiteral("Pausing %1")
                            .arg(QString::fromStdString(
                                FormatClockTime(MillisecondsToDayFraction(length.count())))),
                        length, [length] {
                            (void)shell::SleepUnlessCancelled(length);
                            return shell::Readiness{};
                        });
        };
        ReportedRunOptions options;
        options.origin = fromCountdown_ ? kFromCountdown : kFromStartupMenu;
        const RunSummary run = LaunchReported(files_, batch, options, hooks);
        // The menu is gone once the run is over: what did not start is told
        // by a notice, whether the countdown or the user chose the batch.
        NoticeProblems(files_, batch, run);
    };
    launchItem = [this](const std::string& batch, int index) { LaunchItem(files_, batch, index); };
    startSystemMove = [this] { return windowHandle() && windowHandle()->startSystemMove(); };
    startEditor = [this] { shell::ShellOpen(files_.executable, "", files_.folder); };
    BuildControls();
    dragging_ = false; // FormCreate
}

void TForm2::BuildControls() {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setLineWidth(1);
    Panel1->setMouseTracking(true);
    Panel1->installEventFilter(this);
    outer->addWidget(Panel1);
    auto* panel = new QVBoxLayout(Panel1);
    panel->setContentsMargins(3, 3, 3, 3);
    panel->setSpacing(0);

    BuildHeader(panel);

    ListView1 = new QListWidget(Panel1);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setIconSize(QSize(32, 32));
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setUniformItemSizes(true);
    KeepOneColumn(ListView1, 25); // the one column is the list's width - 25
    // The context menu opens where the event says, in screen coordinates:
    // mapping a local point through the window's position would trust a
    // position the window manager may have changed.
    ListView1->setContextMenuPolicy(Qt::DefaultContextMenu);
    ListView1->setAccessibleName(QStringLiteral("Batches"));
    OpenContextMenuFromKeys(ListView1);
    ListView1->installEventFilter(this);
    ListView1->viewport()->installEventFilter(this);
    panel->addWidget(ListView1, 1);
    connect(ListView1, &QListWidget::itemSelectionChanged, this,
            [this] { Guarded(this, [this] { ListView1SelectItem(); }); });

    Panel2 = new QWidget(Panel1);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setFixedHeight(25);
    auto* strip = new QHBoxLayout(Panel2);
    strip->setContentsMargins(6, 0, 5, 0);
    DefTimeLabel = new QLabel(QStringLiteral("0:00:00"), Panel2);
    DefTimeLabel->setObjectName(QStringLiteral("DefTimeLabel"));
    strip->addWidget(DefTimeLabel);
    ProgressBar1 = new QProgressBar(Panel2);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setFixedHeight(17);
    ProgressBar1->setTextVisible(false);
    strip->addWidget(ProgressBar1, 1);
    panel->addWidget(Panel2);
    Panel2->hide();

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(100);
    connect(Timer1, &QTimer::timeout, this, [this] { Guarded(this, [this] { Timer1Timer(); }); });

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setToolTipsVisible(true); // an item's comment
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    Launch1 = PopupMenu1->addAction(ProgramPicture("launch"), QStringLiteral("Launch"));
    Launch1->setObjectName(QStringLiteral("Launch1"));
    PopupMenu1->setDefaultAction(Launch1);
    connect(Launch1, &QAction::triggered, this, [this] { ListView1DblClick(); });
    PopupMenu1->addSeparator()->setObjectName(QStringLiteral("N1"));
}

// The drag header: the caption, the edit-mode button and the close button.
void TForm2::BuildHeader(QVBoxLayout* panel) {
    CoolBar1 = new QWidget(Panel1);
    CoolBar1->setObjectName(QStringLiteral("CoolBar1"));
    CoolBar1->setFixedHeight(35);
    CoolBar1->installEventFilter(this);
    auto* header = new QHBoxLayout(CoolBar1);
    // The layout keeps the edit-mode button directly left of the close
    // button, 5 pixels from the right edge, whatever the width.
    header->setContentsMargins(7, 0, 5, 0);
    header->setSpacing(0);
    Label1 = MakeProductTitle(CoolBar1);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->installEventFilter(this);
    header->addWidget(Label1);
    header->addStretch();
    SpeedButton2 = new QToolButton(CoolBar1);
    SpeedButton2->setObjectName(QStringLiteral("SpeedButton2"));
    SpeedButton2->setToolTip(QStringLiteral("Switch to edit mode"));
    SpeedButton2->setAccessibleName(SpeedButton2->toolTip());
    SpeedButton2->setIcon(Deferred(
        [] { return QApplication::style()->standardIcon(QStyle::SP_FileDialogDetailedView); }));
    SpeedButton2->setAutoRaise(true);
    SpeedButton2->setFixedSize(25, 25);
    header->addWidget(SpeedButton2);
    SpeedButton1 = new QToolButton(CoolBar1);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1->setToolTip(QStringLiteral("Close"));
    SpeedButton1->setAccessibleName(SpeedButton1->toolTip());
    SpeedButton1->setIcon(Deferred(
        [] { return QApplication::style()->standardIcon(QStyle::SP_TitleBarCloseButton); }));
    SpeedButton1->setAutoRaise(true);
    SpeedButton1->setFixedSize(25, 25);
    header->addWidget(SpeedButton1);
    panel->addWidget(CoolBar1);
    connect(SpeedButton1, &QToolButton::clicked, this, [this] { SpeedButton1Click(); });
    connect(SpeedButton2, &QToolButton::clicked, this, [this] { SpeedButton2Click(); });
}

bool TForm2::CountdownRunning() const {
    return Timer1->isActive();
}

std::string TForm2::SelectedBatch() const {
    const auto selected = ListView1->selectedItems();
    return selected.isEmpty() ? std::string() : selected.front()->text().toStdString();
}

void TForm2::showEvent(QShowEvent* event) {
    TPublishedForm::showEvent(event);
    if (!shownOnce_) {
        shownOnce_ = true;
        Guarded(this, [this] { FormShow(); });
    }
}

void TForm2::FormShow() {
    const int defaultRow = FillList("");
    if (!files_.settings.ReadFlag(kSettingsSection, "DefaultStart", false) || defaultRow < 0) {
        return; // no countdown for a batch that is not there: the user chooses
    }
    countdownLength_ = DayFractionToMilliseconds(
        files_.settings.ReadClockTime(kSettingsSection, "DefaultStartInterval", 0.0));
    countdownStart_ = clock();
    // At least 1: an empty range would draw the bar as an endless "busy" one.
    ProgressBar1->setRange(0, std::max(1, static_cast<int>(countdownLength_)));
    ProgressBar1->setValue(static_cast<int>(countdownLength_));
    DefTimeLabel->setText(
        QString::fromStdString(FormatClockTime(MillisecondsToDayFraction(countdownLength_))));
    Panel2->show();
    Timer1->start();
}

int TForm2::FillList(const std::string& keep) {
    const std::vector<BatchRow> rows = ListBatchRows(files_.catalogue, true);
    QStringList names;
    names.reserve(static_cast<qsizetype>(rows.size()));
    std::vector<std::string> captions;
    captions.reserve(rows.size());
    for (const BatchRow& row : rows) {
        names.push_back(QString::fromStdString(row.name));
        captions.push_back(row.name);
    }
    BatchIcons icons;
    FillListRows(*ListView1, names, [&](QListWidgetItem& item, int i) {
        const BatchRow& row = rows[static_cast<std::size_t>(i)];
        item.setIcon(icons.For(row.iconFile, row.iconIndex));
        item.setToolTip(names[i]);
    });
    ListView1->setFocus();
    const int defaultRow = FindDefaultBatch(files_.settings, captions);
    const auto kept = std::find_if(captions.begin(), captions.end(), [&](const std::string& c) {
        return utf8::EqualFolded(c, keep);
    });
    if (!keep.empty() && kept != captions.end()) {
        ListView1->setCurrentRow(static_cast<int>(kept - captions.begin()));
    } else if (ListView1->count() > 0) {
        ListView1->setCurrentRow(std::max(0, defaultRow));
    }
    return defaultRow;
}

void TForm2::StopTimer() {
    Timer1->stop();
    Panel2->hide();
}

void TForm2::Timer1Timer() {
    const CountdownView view = CountdownAt(countdownLength_, clock() - countdownStart_);
    DefTimeLabel->setText(QString::fromStdString(view.label));
    ProgressBar1->setValue(view.position);
    if (clock() - countdownStart_ > countdownLength_) {
        StopTimer(); // over an empty list nothing launches: no strip stays at 0:00:00
        // Nobody chose it: the report says the countdown did.
        fromCountdown_ = true;
        RunBatch();
        fromCountdown_ = false;
    }
}

void TForm2::RunBatch() {
    const std::string batch = SelectedBatch();
    if (batch.empty() || launching_) {
        return; // nothing selected, or a run under way: the menu stays
    }
    if (!BatchExists(files_.catalogue, batch)) {
        // Renamed or deleted by another program since the list was filled.
        ShowMessage(this, QStringLiteral("There is no batch named \"%1\" any more: another "
                                         "program renamed or deleted it.")
                              .arg(QString::fromStdString(batch)));
        // The rows the user sees again, never a countdown again.
        Guarded(this, [&] { FillList(batch); });
        return;
    }
    launching_ = true;
    StopTimer();
    // An open item menu goes with the window: its entries would launch in
    // the middle of this run.
    PopupMenu1->close();
    hide();
    // Whatever the run ends with, the menu has done its work and closes.
    Guarded(this, [&] { launchBatch(batch); });
    launching_ = false;
    close();
}

void TForm2::ListView1DblClick() {
    StopTimer();
    RunBatch();
}

void TForm2::ListView1SelectItem() {
    // Keep "Launch" and the separator; the application entries are rebuilt.
    const auto actions = PopupMenu1->actions();
    for (int i = 2; i < actions.size(); ++i) {
        PopupMenu1->removeAction(actions[i]);
        actions[i]->deleteLater();
    }
    const std::string batch = SelectedBatch();
    if (batch.empty()) {
        return;
    }
    CurrentBatchName() = batch;
    ItemIcons icons;
    ForEachItem(files_.catalogue, batch, [&](int n, const tqAppInfo& item) {
        if (item.Kind != TItemKind::ikFile) {
            return true; // pauses get no entry
        }
        // Named and drawn as the editor's rows are.
        const ApplicationRow row = DescribeApplication(files_, batch, item.Folder);
        // "&" in a name is a letter, not a mnemonic.
        QAction* action = PopupMenu1->addAction(
            QString::fromStdString(row.caption).replace(QLatin1Char('&'), QStringLiteral("&&")));
        action->setObjectName(QStringLiteral("Item%1").arg(n));
        action->setData(n);
        if (!row.file.empty()) {
            action->setIcon(icons.For(row));
        }
        action->setToolTip(QString::fromStdString(row.comment));
        connect(action, &QAction::triggered, this, [this, n] {
            // OpenClick: one application; the window and any countdown go on.
            if (!launching_) {
                Guarded(this, [&] { launchItem(SelectedBatch(), n); });
            }
        });
        return true;
    });
}

void TForm2::SpeedButton1Click() {
    close();
}

void TForm2::SpeedButton2Click() {
    hide();
    Guarded(this, [this] { startEditor(); });
    close();
}

void TForm2::closeEvent(QCloseEvent* event) {
    if (launching_) {
        event->ignore(); // closed when the run is over
        return;
    }
    // FormClose: no selection handling while the window goes down.
    disconnect(ListView1, &QListWidget::itemSelectionChanged, this, nullptr);
    Timer1->stop();
    Guarded(this, [this] { SaveLayout(files_.layoutFile, *this); });
    event->accept();
    emit closed();
}

bool TForm2::eventFilter(QObject* watched, QEvent* event) {
    if (watched == CoolBar1 || watched == Label1) {
        return HeaderMouse(event);
    }
    if (watched == Panel1) {
        return PanelMouse(event);
    }
    if (watched == ListView1) {
        return ListKey(event);
    }
    if (watched == ListView1->viewport()) {
        if (event->type() == QEvent::ContextMenu && !launching_) {
            PopupMenu1->popup(static_cast<QContextMenuEvent*>(event)->globalPos());
            return true;
        }
        return ListMouse(event);
    }
    return TPublishedForm::eventFilter(watched, event);
}

bool TForm2::ListKey(QEvent* event) {
    if (event->type() != QEvent::KeyPress) {
        return false;
    }
    StopTimer(); // any key stops the countdown
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        RunBatch();
        return true;
    }
    if (key == Qt::Key_Escape) {
        close();
        return true;
    }
    return false;
}

bool TForm2::ListMouse(QEvent* event) {
    auto* mouse = dynamic_cast<QMouseEvent*>(event);
    if (!mouse) {
        return false;
    }
    if (event->type() == QEvent::MouseButtonPress && mouse->button() == Qt::LeftButton) {
        StopTimer();
    } else if (event->type() == QEvent::MouseButtonDblClick && mouse->button() == Qt::LeftButton) {
        ListView1DblClick();
        return true;
    } else if (event->type() == QEvent::MouseButtonRelease) {
        EndDrag();
    }
    return false;
}

} // namespace korvane

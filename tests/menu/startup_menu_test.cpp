#include "app/launch_report.h"
#include "gui/error_report.h"
#include "menu/startup_logic.h"
#include "menu/startup_menu.h"
#include "shell/readiness.h"
#include "store/clock_time.h"
#include "store/profile_encoding.h"
#include "test_support.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QtTest>

using korvane::ResizeZone;
using korvane::TForm2;
using korvane::test::TempDir;
using korvane::test::WriteFile;

Q_DECLARE_METATYPE(ResizeZone)

namespace {

// A program folder with a catalogue and settings, and a menu on it whose
// launches, clock and editor start are recorded instead of done.
struct MenuRig {
    explicit MenuRig(const std::string& catalogue, const std::string& settings = "")
        : files(dir / "korvane") {
        // As the program's files hold text here (ANSI on Windows).
        WriteFile(dir / "batches.lst", korvane::TextToProfileBytes(catalogue));
        WriteFile(dir / "korvane.ini", korvane::TextToProfileBytes(settings));
        form = std::make_unique<TForm2>(files);
        form->clock = [this] { return now; };
        realLaunch = form->launchBatch;
        form->launchBatch = [this](const std::string& b) { launched.push_back(b); };
        form->launchItem = [this](const std::string& b, int i) {
            items.push_back(b + "#" + std::to_string(i));
        };
        form->startEditor = [this] { editorStarted = true; };
    }
    template <class T> T* find(const char* name) { return form->findChild<T*>(name); }
    QListWidget* list() { return find<QListWidget>("ListView1"); }
    QStringList names() {
        QStringList names;
        for (int i = 0; i < list()->count(); ++i) {
            names << list()->item(i)->text();
        }
        return names;
    }
    void show() {
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    }
    void tick(std::int64_t ms) {
        now += ms;
        form->Timer1Timer();
    }
    QString label() { return find<QLabel>("DefTimeLabel")->text(); }
    bool stripShown() { return find<QWidget>("Panel2")->isVisible(); }

    TempDir dir;
    korvane::ProgramFiles files;
    std::unique_ptr<TForm2> form;
    std::int64_t now = 1000000;
    std::vector<std::string> launched, items;
    bool editorStarted = false;
    std::function<void(const std::string&)> realLaunch; // the menu's own
};

const std::string kCatalogue = "[Work]\r\nID=1\r\n[Hidden]\r\nID=2\r\nShowInStartup=0\r\n"
                               "[Weekend]\r\nID=3\r\n[Grüße]\r\nID=4\r\nShowInStartup=1\r\n";

std::string Countdown(const char* interval) {
    std::string s = "[Basic]\r\nDefaultBatch=WEEKEND\r\nDefaultStart=1\r\n";
    if (interval) {
        s += std::string("DefaultStartInterval=") + interval + "\r\n";
    }
    return s;
}

} // namespace

class StartupMenuTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        korvane::SetUserTimeFormat(korvane::TimeFormat{});
        korvane::SetErrorSink([this](const QString& m) { errors << m; });
        errors.clear();
    }

    // A countdown for a default batch that is gone (renamed, say) would run
    // what the user did not choose: none starts, and the first row is
    // preselected for the user's Enter.
    void listsTheStartupBatchesAndPreselectsTheDefault_data() {
        QTest::addColumn<QString>("defaultBatch");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("countdown");
        QTest::newRow("absent") << QString() << 0 << "";
        QTest::newRow("ignoringCase") << "weekend" << 1 << "";
        QTest::newRow("nonAscii") << "GRÜSSE" << 0 << ""; // ß does not fold to ss
        QTest::newRow("nonAsciiCase") << "grüße" << 2 << "";
        QTest::newRow("hiddenFromTheMenu") << "Hidden" << 0 << "";
        QTest::newRow("deleted") << "Gone" << 0 << "DefaultStart=1\r\nDefaultStartInterval=0:00:01";
    }
    void listsTheStartupBatchesAndPreselectsTheDefault() {
        QFETCH(QString, defaultBatch);
        QFETCH(int, row);
        QFETCH(QString, countdown);
        MenuRig rig(
            kCatalogue,
            "[Basic]\r\n" + countdown.toStdString() +
                (defaultBatch.isNull() ? "" : "\r\nDefaultBatch=" + defaultBatch.toStdString()));
        rig.show();
        QCOMPARE(rig.names(), QStringList({"Work", "Weekend", "Grüße"}));
        QCOMPARE(rig.list()->currentRow(), row);
        QVERIFY(!rig.stripShown());
        QVERIFY(!rig.form->CountdownRunning());
    }

    void countdownRunsDownAndLaunchesTheSelectedBatch() {
        MenuRig rig(kCatalogue, Countdown("0:00:10"));
        rig.show();
        QVERIFY(rig.form->CountdownRunning());
        QVERIFY(rig.stripShown());
        QCOMPARE(rig.label(), QString("0:00:10"));
        auto* bar = rig.find<QProgressBar>("ProgressBar1");
        QCOMPARE(bar->maximum(), 10000);
        QCOMPARE(bar->value(), 10000);
        rig.tick(100);
        QCOMPARE(rig.label(), QString("0:00:09"));
        QCOMPARE(bar->value(), 9900);
        rig.tick(9900); // exactly the length: not yet
        QVERIFY(rig.launched.empty());
        QCOMPARE(rig.label(), QString("0:00:00"));
        rig.tick(1);
        QCOMPARE(rig.launched, std::vector<std::string>{"Weekend"});
        QVERIFY(!rig.form->isVisible());
        QVERIFY(!rig.form->CountdownRunning());
    }

    void countdownWithoutALengthLaunchesAtTheFirstTick_data() {
        QTest::addColumn<QString>("interval");
        QTest::newRow("absent") << QString();
        QTest::newRow("empty") << "";
        QTest::newRow("unreadable") << "soon";
    }
    void countdownWithoutALengthLaunchesAtTheFirstTick() {
        QFETCH(QString, interval);
        const std::string text = interval.toStdString();
        MenuRig rig(kCatalogue, Countdown(interval.isNull() ? nullptr : text.c_str()));
        rig.show();
        QVERIFY(rig.form->CountdownRunning());
        rig.tick(100);
        QCOMPARE(rig.launched, std::vector<std::string>{"Weekend"});
    }

    // A zero length never draws an endless "busy" bar; a countdown that runs
    // out over an empty list launches nothing and leaves no strip behind, and
    // Enter there launches nothing either.
    void anEmptyListLaunchesNothing() {
        MenuRig rig("[Hidden]\r\nID=2\r\nShowInStartup=0\r\n",
                    "[Basic]\r\nDefaultStart=1\r\nDefaultStartInterval=0:00:00\r\n");
        rig.show();
        QCOMPARE(rig.list()->count(), 0);
        QVERIFY(rig.find<QProgressBar>("ProgressBar1")->maximum() >= 1);
        QVERIFY(rig.stripShown());
        rig.tick(100);
        QVERIFY(!rig.form->CountdownRunning());
        QVERIFY(!rig.stripShown());
        QTest::keyClick(rig.list(), Qt::Key_Return);
        QVERIFY(rig.launched.empty());
        QVERIFY(rig.form->isVisible());
        QCOMPARE(rig.form->findChild<QMenu*>("PopupMenu1")->actions().size(), 2);
    }

    // Long names are cut with "..." at the right: one column, list width - 25,
    // and no scrolling sideways.
    void longNamesAreElidedNotScrolled() {
        const std::string name(200, 'W');
        MenuRig rig("[" + name + "]\r\nID=1\r\n[Short]\r\nID=2\r\n");
        rig.show();
        QListWidget* list = rig.list();
        QCOMPARE(list->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QCOMPARE(list->textElideMode(), Qt::ElideRight);
        QCOMPARE(list->item(0)->sizeHint().width(), list->width() - 25);
        QVERIFY(list->visualItemRect(list->item(0)).right() < list->viewport()->width());
        rig.form->resize(rig.form->width() + 60, rig.form->height());
        QCoreApplication::processEvents();
        QCOMPARE(list->item(1)->sizeHint().width(), list->width() - 25);
    }

    void anyKeyStopsTheCountdownForGood() {
        MenuRig rig(kCatalogue, Countdown("0:00:10"));
        rig.show();
        QTest::keyClick(rig.list(), Qt::Key_Down);
        QVERIFY(!rig.form->CountdownRunning());
        QVERIFY(!rig.stripShown());
        QCOMPARE(rig.list()->currentRow(), 2);
        QTest::keyClick(rig.list(), Qt::Key_Return);
        QCOMPARE(rig.launched, std::vector<std::string>{"Grüße"});
    }

    void aClickStopsTheCountdownButARightClickDoesNot() {
        MenuRig rig(kCatalogue, Countdown("0:00:10"));
        rig.show();
        const QPoint first = rig.list()->visualItemRect(rig.list()->item(0)).center();
        QTest::mouseClick(rig.list()->viewport(), Qt::RightButton, {}, first);
        QVERIFY(rig.form->CountdownRunning());
        QTest::mouseClick(rig.list()->viewport(), Qt::LeftButton, {}, first);
        QVERIFY(!rig.form->CountdownRunning());
        QVERIFY(rig.launched.empty());
    }

    void escapeClosesWithoutLaunching() {
        MenuRig rig(kCatalogue);
        rig.show();
        QSignalSpy closed(rig.form.get(), &TForm2::closed);
        QTest::keyClick(rig.list(), Qt::Key_Escape);
        QCOMPARE(closed.count(), 1);
        QVERIFY(rig.launched.empty());
        QVERIFY(std::filesystem::exists(rig.dir / "korvane.prm")); // the layout was saved
    }

    void contextMenuListsTheApplicationsOfTheSelectedBatch() {
        MenuRig rig("[Work]\r\nID=1\r\nItem0=File;10\\;Active\r\nItem1=Interval;0:00:05;Active\r\n"
                    "Item2=File;11\\;Disabled\r\nItem3=File;12\\;Active\r\n",
                    "[Basic]\r\nDefaultBatch=Work\r\nDefaultStart=1\r\n"
                    "DefaultStartInterval=0:01:00\r\n");
        WriteFile(rig.dir / "Shortcuts" / "1" / "10" / "gedit.lnk", "");
        WriteFile(rig.dir / "Shortcuts" / "1" / "11" / "org.example.Word.desktop",
                  "[Desktop Entry]\nType=Application\nName=Word\nExec=/bin/sh\n");
        std::filesystem::create_directories(rig.dir / "Shortcuts" / "1" / "12");
        rig.show();
        const auto actions = rig.form->findChild<QMenu*>("PopupMenu1")->actions();
        QCOMPARE(actions.size(), 5);
        QCOMPARE(actions[0]->text(), QString("Launch"));
        QVERIFY(actions[1]->isSeparator());
        QCOMPARE(actions[2]->text(), QString("gedit"));
        QCOMPARE(actions[2]->data().toInt(), 0);
        QCOMPARE(actions[3]->text(),
                 QString(korvane::test::kFreedesktop ? "Word" : "org.example.Word"));
        QCOMPARE(actions[3]->data().toInt(), 2);
        QCOMPARE(actions[4]->text(), QString()); // its folder holds no file
        QCOMPARE(korvane::CurrentBatchName(), std::string("Work"));
        actions[3]->trigger();
        QCOMPARE(rig.items, std::vector<std::string>{"Work#2"});
        QVERIFY(rig.form->CountdownRunning()); // one application does not stop it
        QVERIFY(rig.form->isVisible());
        actions[0]->trigger();
        QCOMPARE(rig.launched, std::vector<std::string>{"Work"});
    }

    // The Menu key and Shift+F10 open the batch's context menu; every
    // control says what it is to screen readers.
    void keysOpenTheContextMenuAndControlsHaveNames() {
        MenuRig rig("[Work]\r\nID=1\r\n[Play]\r\nID=2\r\n");
        rig.show();
        auto* popup = rig.form->findChild<QMenu*>("PopupMenu1");
        for (const auto& [key, modifiers] :
             {std::pair{Qt::Key_Menu, Qt::NoModifier}, std::pair{Qt::Key_F10, Qt::ShiftModifier}}) {
            QTest::keyClick(rig.list(), key, modifiers);
            QTRY_VERIFY(popup->isVisible());
            popup->hide();
        }
        for (QWidget* w : rig.form->findChildren<QWidget*>()) {
            if (w->isVisible() &&
                (qobject_cast<QAbstractButton*>(w) || qobject_cast<QAbstractItemView*>(w))) {
                QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
                QVERIFY2(a && !a->text(QAccessible::Name).isEmpty(),
                         qPrintable(w->objectName() + " " + w->metaObject()->className()));
            }
        }
    }

    void aBadPauseReachesTheErrorReport() {
        MenuRig rig("[Work]\r\nID=1\r\nItem0=Interval;later;Active\r\n");
        rig.show();
        QCOMPARE(errors, QStringList{"'later' is not a valid time."});
        QVERIFY(rig.form->isVisible());
    }

    void editModeButtonStartsTheEditorAndCloses() {
        MenuRig rig(kCatalogue);
        rig.show();
        QSignalSpy closed(rig.form.get(), &TForm2::closed);
        QTest::mouseClick(rig.find<QWidget>("SpeedButton2"), Qt::LeftButton);
        QVERIFY(rig.editorStarted);
        QCOMPARE(closed.count(), 1);
    }

    // A press on the header (or its label) asks the window system to move
    // the window; only when it cannot does the drag move it by itself.
    void aHeaderPressAsksForASystemMove_data() {
        QTest::addColumn<bool>("systemMoves");
        QTest::addColumn<QString>("pressed");
        QTest::newRow("systemMoveHeader") << true << "CoolBar1";
        QTest::newRow("systemMoveLabel") << true << "Label1";
        QTest::newRow("fallbackHeader") << false << "CoolBar1";
    }
    void aHeaderPressAsksForASystemMove() {
        QFETCH(bool, systemMoves);
        QFETCH(QString, pressed);
        MenuRig rig(kCatalogue);
        int asked = 0;
        rig.form->startSystemMove = [&] {
            ++asked;
            return systemMoves;
        };
        rig.show();
        rig.form->move(100, 100);
        auto* header = rig.form->findChild<QWidget*>(pressed);
        QTest::mousePress(header, Qt::LeftButton, {}, QPoint(5, 5));
        QMouseEvent move(QEvent::MouseMove, QPointF(35, 25), header->mapToGlobal(QPointF(35, 25)),
                         Qt::NoButton, Qt::LeftButton, {});
        QApplication::sendEvent(header, &move);
        QTest::mouseRelease(header, Qt::LeftButton, {}, QPoint(35, 25));
        QCOMPARE(asked, 1);
        QCOMPARE(rig.form->pos(), systemMoves ? QPoint(100, 100) : QPoint(130, 120));
    }

    // A drag at the bottom-right corner resizes, never below 200 x 200.
    void dragsResizeTheWindow() {
        MenuRig rig(kCatalogue);
        rig.show();
        auto* panel = rig.find<QWidget>("Panel1");
        const QSize size = rig.form->size();
        auto sendMove = [&](QPoint at) {
            QMouseEvent e(QEvent::MouseMove, QPointF(at), panel->mapToGlobal(QPointF(at)),
                          Qt::NoButton, Qt::LeftButton, {});
            QApplication::sendEvent(panel, &e);
        };
        const QPoint corner(size.width() - 2, size.height() - 2);
        sendMove(corner);
        QCOMPARE(panel->cursor().shape(), Qt::SizeFDiagCursor);
        QTest::mousePress(panel, Qt::LeftButton, {}, corner);
        sendMove(corner + QPoint(30, 20));
        QCOMPARE(rig.form->size(), size + QSize(30, 20));
        sendMove(QPoint(-500, -500)); // never below 200 x 200
        QCOMPARE(rig.form->size(), QSize(200, 200));
        QTest::mouseRelease(panel, Qt::LeftButton, {}, QPoint(-500, -500));
        QCOMPARE(panel->cursor().shape(), Qt::ArrowCursor);
    }

    void resizeZones_data() {
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("y");
        QTest::addColumn<ResizeZone>("zone");
        QTest::newRow("corner") << 291 << 291 << ResizeZone::Diagonal;
        QTest::newRow("cornerEdge") << 291 << 290 << ResizeZone::Horizontal;
        QTest::newRow("rightBand") << 286 << 10 << ResizeZone::Horizontal;
        QTest::newRow("justOutsideRightBand") << 285 << 10 << ResizeZone::None;
        QTest::newRow("bottomBand") << 10 << 286 << ResizeZone::Vertical;
        QTest::newRow("middle") << 100 << 100 << ResizeZone::None;
    }
    void resizeZones() {
        QFETCH(int, x);
        QFETCH(int, y);
        QFETCH(ResizeZone, zone);
        QCOMPARE(korvane::ResizeZoneAt(x, y, 300, 300), zone);
    }

    void fillsFiveHundredBatches() {
        std::string catalogue;
        for (int i = 0; i < 500; ++i) {
            catalogue += "[Batch " + std::to_string(i) + "]\r\nID=" + std::to_string(i) + "\r\n";
        }
        MenuRig rig(catalogue, "[Basic]\r\nDefaultBatch=batch 499\r\n");
        rig.show();
        QCOMPARE(rig.list()->count(), 500);
        QCOMPARE(rig.list()->currentRow(), 499);
    }

    // The batch to launch was renamed or deleted by another program (under
    // the countdown, before the user's Enter): the menu says so, launches
    // nothing, starts no countdown and lists the catalogue's batches again,
    // selecting the same name when it is back by then, else the default
    // batch, else the first row.
    void aBatchGoneIsReportedAndTheListRefilled() {
        MenuRig rig(kCatalogue, Countdown("0:00:01"));
        rig.show();
        std::string meanwhile; // the catalogue once the message shows
        const auto write = [&](const std::string& text) {
            WriteFile(rig.dir / "batches.lst", korvane::TextToProfileBytes(text));
        };
        korvane::SetErrorSink([&](const QString& m) {
            errors << m;
            write(meanwhile);
        });
        write(meanwhile = "[Work]\r\nID=1\r\n[Week end]\r\nID=3\r\n[Grüße]\r\nID=4\r\n");
        rig.tick(1001);
        QVERIFY(errors.size() == 1 && errors[0].contains("\"Weekend\""));
        QVERIFY(rig.form->isVisible());
        QCOMPARE(rig.names(), QStringList({"Work", "Week end", "Grüße"}));
        QCOMPARE(rig.list()->currentRow(), 0); // the default is gone

        QTest::keyClick(rig.list(), Qt::Key_End);
        write("[Work]\r\nID=1\r\n[Weekend]\r\nID=3\r\n");
        meanwhile = "[Weekend]\r\nID=3\r\n[Grüße]\r\nID=4\r\n[Work]\r\nID=1\r\n";
        QTest::keyClick(rig.list(), Qt::Key_Return);
        QCOMPARE(errors.size(), 2);
        QCOMPARE(rig.names(), QStringList({"Weekend", "Grüße", "Work"}));
        QCOMPARE(rig.list()->currentRow(), 1); // back meanwhile: kept
        write(meanwhile = "[Work]\r\nID=1\r\n[Weekend]\r\nID=3\r\n");
        QTest::keyClick(rig.list(), Qt::Key_Return);
        QCOMPARE(errors.size(), 3);
        QCOMPARE(rig.names(), QStringList({"Work", "Weekend"}));
        QCOMPARE(rig.list()->currentRow(), 1); // gone for good: the default, and no countdown
        QVERIFY(!rig.form->CountdownRunning() && !rig.stripShown());
        QTest::keyClick(rig.list(), Qt::Key_Return);
        QCOMPARE(rig.launched, std::vector<std::string>{"Weekend"});
    }

    // A random soak found it: the countdown ran out while the item menu was
    // open, and the menu's entries then launched in the middle of the run.
    void nothingReentersARunningLaunch() {
        MenuRig rig("[Work]\r\nID=1\r\nItem0=File;10\\;Active\r\n", "");
        WriteFile(rig.dir / "Shortcuts" / "1" / "10" / "gedit.lnk", "");
        rig.show();
        auto* popup = rig.form->findChild<QMenu*>("PopupMenu1");
        bool popupShownDuringRun = true;
        rig.form->launchBatch = [&](const std::string& b) {
            rig.launched.push_back(b);
            popupShownDuringRun = popup->isVisible();
            // What a user (or the window system) could still do meanwhile.
            for (QAction* action : popup->actions()) {
                action->trigger();
            }
            QTest::keyClick(rig.list(), Qt::Key_Escape);
            QTest::keyClick(rig.list(), Qt::Key_Return);
            rig.form->close();
        };
        popup->popup(rig.form->mapToGlobal(QPoint(10, 10)));
        QTRY_VERIFY(popup->isVisible());
        QTest::keyClick(rig.list(), Qt::Key_Return);
        QCOMPARE(rig.launched, std::vector<std::string>{"Work"});
        QVERIFY(rig.items.empty());
        QVERIFY(!popupShownDuringRun);
        QVERIFY(!rig.form->isVisible());
    }

    // A launch that pauses or waits shows a strip; Escape there stops the
    // launch, and the report says so.
    void escapeInTheWaitStripStopsTheLaunch() {
        MenuRig rig("[Work]\r\nID=1\r\nItem0=Interval;0:00:30;Active\r\n"
                    "Item1=Interval;0:00:30;Active\r\n");
        rig.form->launchBatch = rig.realLaunch;
        rig.show();
        QString shown;
        // Looked for until it shows: the run may let events through before.
        QTimer pressEscape;
        QObject::connect(&pressEscape, &QTimer::timeout, [&] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (w->objectName() == "WaitStrip" && w->isVisible() && shown.isEmpty()) {
                    shown = w->findChild<QLabel*>("WaitLabel")->text();
                    QTest::keyClick(w, Qt::Key_Escape);
                    pressEscape.stop();
                }
            }
        });
        pressEscape.start(100);
        QElapsedTimer timer;
        timer.start();
        QTest::keyClick(rig.list(), Qt::Key_Return);
        QVERIFY(timer.elapsed() < 20000);
        QCOMPARE(shown, QString("Pausing 0:00:30"));
        QVERIFY(!rig.form->isVisible());
        const auto report = korvane::LastLaunchOf(rig.dir / "Reports", "Work");
        QVERIFY(report.has_value());
        QCOMPARE(report->end, std::string("cancelled after item 1"));
        QCOMPARE(report->items.size(), std::size_t(1));
        korvane::shell::ResumeWaits(); // for the tests after this one
    }

    void waitingTextsSayWhatTheLaunchWaitsFor() {
        using korvane::WaitKind;
        QCOMPARE(korvane::WaitingText("Mail", {WaitKind::Window, 60, ""}),
                 std::string("Waiting for the window of Mail"));
        QCOMPARE(korvane::WaitingText("Sync", {WaitKind::Ended, 60, ""}),
                 std::string("Waiting until Sync has ended"));
        QCOMPARE(korvane::WaitingText("NAS", {WaitKind::Path, 60, "/mnt/nas"}),
                 std::string("Waiting for /mnt/nas"));
        QCOMPARE(korvane::WaitingText("DB", {WaitKind::Port, 60, "5432"}),
                 std::string("Waiting for port 5432"));
    }

  private:
    QStringList errors;
};

QTEST_MAIN(StartupMenuTest)
#include "startup_menu_test.moc"

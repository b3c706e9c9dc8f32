#include "editor/editor_window.h"

#include "app/launch_journal.h"
#include "editor/interval_dialog.h"
#include "editor/last_launch_dialog.h"
#include "editor/link_properties.h"
#include "editor/pick_list_dialog.h"
#include "editor_rig.h"
#include "gui/error_report.h"
#include "layout/layout_file.h"
#include "layout/published_controls.h"
#include "shell/icon_source.h"
#include "shell/link_sheet.h"
#include "shell/session_autostart.h"
#include "shell/shell.h"
#include "store/catalogue_edit.h"
#include "store/clock_time.h"
#include "store/utf8.h"
#include "test_support.h"
#include <QAbstractButton>
#include <QAccessible>
#include <QComboBox>
#include <QDialog>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMenuBar>
#include <QScreen>
#include <QSpinBox>

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTimeEdit>
#include <QToolBar>
#include <QTreeWidget>
#include <QtTest>

namespace fs = std::filesystem;
using korvane::TForm1;
using korvane::test::EditorHands;
using korvane::test::EditorRig;
using korvane::test::ReadFile;
using korvane::test::TempDir;
using korvane::test::WriteFile;

class EditorWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        korvane::SetUserTimeFormat(korvane::TimeFormat{});
        korvane::SetErrorSink([this](const QString& m) { messages << m; });
        messages.clear();
    }

    void actionsFollowTheSelection_data() {
        QTest::addColumn<QString>("catalogue");
        QTest::addColumn<bool>("selectItem");
        QTest::addColumn<bool>("batchActions");
        QTest::addColumn<bool>("itemActions");
        QTest::newRow("emptyCatalogue") << "" << false << false << false;
        QTest::newRow("batchWithoutItems") << "[W]\r\nID=1\r\n" << false << true << false;
        QTest::newRow("itemSelected") << "[W]\r\nID=1\r\nItem0=Interval;0:00:05;Active\r\n"
                                      << true << true << true;
    }
    void actionsFollowTheSelection() {
        QFETCH(QString, catalogue);
        QFETCH(bool, selectItem);
        QFETCH(bool, batchActions);
        QFETCH(bool, itemActions);
        EditorRig rig(catalogue.toStdString());
        if (selectItem) {
            rig.selectItem(0);
        }
        rig.form->UpdateActions();
        for (QAction* a :
             {rig.form->aDeleteBatch, rig.form->aLaunchBatch, rig.form->aBatchProperties,
              rig.form->aMakeShortcut, rig.form->aAddApplication}) {
            QCOMPARE(a->isEnabled(), batchActions);
        }
        for (QAction* a : {rig.form->aFileProperties, rig.form->aDeleteApplication, rig.form->aUp,
                           rig.form->aDown, rig.form->aLaunchApp}) {
            QCOMPARE(a->isEnabled(), itemActions);
        }
        for (QAction* a : {rig.form->aAddBatch, rig.form->aAddPause, rig.form->aOptions,
                           rig.form->aSwitchToDialog, rig.form->aTB_Show}) {
            QVERIFY(a->isEnabled());
        }
    }

    void showsTheItemsOfTheFirstBatch() {
        EditorRig rig(
            "[Monday]\r\nID=1\r\nItem0=File;3\\;Active\r\nItem1=Interval;0:05:00;Disabled\r\n"
            "Item2=File;5\\;Active\r\nItem4=File;4\\;Active\r\n"
            "[Hidden]\r\nID=2\r\nShowInStartup=0\r\n");
        WriteFile(rig.dir / "Shortcuts" / "1" / "3" / "gedit.lnk",
                  "[Shell Link]\nTarget=/usr/bin/gedit\n");
        // An entry copied from the applications menu reads as the menu shows it.
        WriteFile(rig.dir / "Shortcuts" / "1" / "5" / "debian-xterm.desktop",
                  "[Desktop Entry]\nType=Application\nName=XTerm\nComment=A terminal\n"
                  "Exec=/bin/sh\n");
        rig.form->Reload();
        QCOMPARE(rig.batches()->count(), 2); // hidden from the menu, not from the editor
        QCOMPARE(korvane::CurrentBatchName(), std::string("Monday"));
        // (Windows knows no desktop entries: there it is its file name.)
        const QString entryName = korvane::test::kFreedesktop ? "XTerm" : "debian-xterm";
        QCOMPARE(rig.itemCaptions(), QStringList({"gedit", "0:05:00", entryName}));
        if (korvane::test::kFreedesktop) {
            auto* entry = rig.items()->topLevelItem(2);
            QCOMPARE(entry->text(2), QString("Application"));
            QCOMPARE(entry->toolTip(0), QString("A terminal"));
        }
        auto* pause = rig.items()->topLevelItem(1);
        QCOMPARE(pause->text(1), QString("2"));
        QCOMPARE(pause->text(2), QString("Pause"));
        QCOMPARE(pause->checkState(0), Qt::Unchecked);
        QCOMPARE(rig.form->findChild<QLabel*>("StatusText")->text(), QString("  Items count: 3"));
    }

    void addsRenamesAndDeletesBatches() {
        EditorRig rig("[new batch]\r\nID=1\r\n");
        rig.run(rig.form->aAddBatch);
        QCOMPARE(rig.batches()->count(), 2);
        QCOMPARE(rig.batches()->item(1)->text(), QString("Copy New batch"));
        QCOMPARE(korvane::CurrentBatchName(), std::string("Copy New batch"));
        const std::string id = rig.files.catalogue.ReadText("Copy New batch", "ID", "");
        QVERIFY(!id.empty() && id != "1");
        QVERIFY(fs::is_directory(rig.dir / "Shortcuts" / id));

        // An in-place edit that is committed.
        rig.batches()->closePersistentEditor(rig.batches()->item(1));
        rig.batches()->item(1)->setText("Work tools");
        QCOMPARE(rig.files.catalogue.ReadText("Work tools", "ID", ""), id);
        QCOMPARE(korvane::CurrentBatchName(), std::string("Work tools"));
        rig.pauseLength = 60;
        rig.run(rig.form->aAddPause); // lands in the renamed batch
        QCOMPARE(rig.files.catalogue.ReadText("Work tools", "Item0", ""),
                 std::string("Interval;0:01:00;Active"));

        // Refused: another batch's name in other letters, and no name at all.
        for (const char* bad : {"NEW BATCH", ""}) {
            rig.batches()->item(1)->setText(bad);
            QCOMPARE(rig.batches()->item(1)->text(), QString("Work tools"));
        }
        QCOMPARE(messages.size(), 2);
        QCOMPARE(rig.files.catalogue.ListSections(),
                 (std::vector<std::string>{"new batch", "Work tools"}));

        rig.batches()->setCurrentRow(1);
        rig.run(rig.form->aDeleteBatch);
        QCOMPARE(rig.batches()->count(), 1);
        QVERIFY(rig.batches()->selectedItems().isEmpty());
        QCOMPARE(rig.items()->topLevelItemCount(), 0);
        QCOMPARE(korvane::CurrentBatchName(), std::string());
        QVERIFY(!fs::exists(rig.dir / "Shortcuts" / id));
        QCOMPARE(rig.files.catalogue.ListSections(), std::vector<std::string>{"new batch"});
    }

    void editsItems() {
        EditorRig rig("[W]\r\nID=7\r\n");
        WriteFile(rig.dir / "src" / "Editor.LNK", "[Shell Link]\nTarget=/usr/bin/vi\n");
        rig.picked = QString::fromStdString((rig.dir / "src" / "Editor.LNK").string());
        rig.run(rig.form->aAddApplication);
        rig.picked = "/opt/tools/app.EXE";
        rig.run(rig.form->aAddApplication);
        rig.pauseLength = 300;
        rig.run(rig.form->aAddPause);
        QCOMPARE(rig.itemCaptions(), QStringList({"Editor", "app.EXE", "0:05:00"}));
        QCOMPARE(rig.items()->topLevelItem(1)->text(1), QString("2"));

        rig.selectItem(2);
        rig.run(rig.form->aUp);
        QCOMPARE(rig.itemCaptions(), QStringList({"Editor", "0:05:00", "app.EXE"}));
        QVERIFY(rig.items()->topLevelItem(1)->isSelected());
        rig.run(rig.form->aUp);
        rig.run(rig.form->aUp); // already first: nothing
        QCOMPARE(rig.itemCaptions(), QStringList({"0:05:00", "Editor", "app.EXE"}));

        rig.items()->topLevelItem(0)->setCheckState(0, Qt::Unchecked);
        QCOMPARE(rig.files.catalogue.ReadText("W", "Item0", ""),
                 std::string("Interval;0:05:00;Disabled"));
        rig.selectItem(0);
        rig.pauseLength = 90;
        rig.run(rig.form->aFileProperties); // a pause: its length, state kept
        QCOMPARE(rig.files.catalogue.ReadText("W", "Item0", ""),
                 std::string("Interval;0:01:30;Disabled"));
        QCOMPARE(rig.items()->topLevelItem(0)->text(0), QString("0:01:30"));

        rig.selectItem(1);
        rig.run(rig.form->aFileProperties); // an application: the shell's properties
        QCOMPARE(rig.properties.size(), std::size_t{1});
        QCOMPARE(rig.properties[0].filename().string(), std::string("Editor.LNK"));
        rig.run(rig.form->aLaunchApp);
        QCOMPARE(rig.launched, std::vector<std::string>{"W#1"});

        rig.selectItem(1);
        rig.run(rig.form->aDeleteApplication);
        QCOMPARE(rig.itemCaptions(), QStringList({"0:01:30", "app.EXE"}));
        QCOMPARE(rig.files.catalogue.ReadText("W", "Item2", "-"), std::string("-"));
    }

    void anUnwritableCatalogueIsReportedAndTheWindowStays() {
        EditorRig rig;
        fs::remove(rig.dir / "batches.lst");
        fs::create_directory(rig.dir / "batches.lst"); // a folder in the file's place
        rig.run(rig.form->aAddBatch);
        QCOMPARE(messages, QStringList{QString::fromStdString(
                               "Unable to write to " + (rig.dir / "batches.lst").string() + ".")});
        QVERIFY(rig.form->isVisible());
    }

    void propertiesOfAVanishedLinkSaySo() {
        EditorRig rig("[W]\r\nID=7\r\nItem0=File;3\\;Active\r\n");
        WriteFile(rig.dir / "Shortcuts" / "7" / "3" / "tool.lnk",
                  "[Shell Link]\nTarget=/bin/true\n");
        rig.form->Reload();
        fs::remove(rig.dir / "Shortcuts" / "7" / "3" / "tool.lnk");
        rig.selectItem(0);
        rig.run(rig.form->aFileProperties);
        QCOMPARE(messages, QStringList{QString::fromStdString(
                               "File " + (rig.dir / "Shortcuts" / "7" / "3" / "tool.pif").string() +
                               "/lnk was not found.")});
    }

    // The sheet's "Before the next item" keeps the wait with the item, even
    // when another program moves the item while the sheet is open.
    void anItemsWaitIsSetInItsSheetAndFollowsItWhenMoved() {
        EditorRig rig("[W]\r\nID=7\r\nItem0=File;3\\;Active\r\nItem1=File;4\\;Active\r\n");
        // Real links of this platform, to a program that is there.
        const fs::path program =
            korvane::utf8::ToPath(QCoreApplication::applicationFilePath().toStdString());
        for (const char* n : {"3", "4"}) {
            fs::create_directories(rig.dir / "Shortcuts" / "7" / n);
            korvane::shell::CreateItemLink(program, rig.dir / "Shortcuts" / "7" / n);
        }
        rig.form->Reload();
        rig.form->showFileProperties = rig.realProperties;
        const auto openSheet = [&](int row) {
            rig.selectItem(row);
            rig.run(rig.form->aFileProperties);
            auto* sheet = rig.form->findChild<korvane::TLinkPropertiesForm*>();
            return sheet;
        };
        auto* sheet = openSheet(0);
        QVERIFY(sheet);
        auto* kind = sheet->findChild<QComboBox*>("WaitKindCombo");
        auto* limit = sheet->findChild<QSpinBox*>("WaitLimitSpin");
        auto* target = sheet->findChild<QLineEdit*>("WaitTargetEdit");
        QVERIFY(kind && limit && target);
        QVERIFY(kind->isVisible());
        QCOMPARE(kind->currentText(), QString("Go on at once"));
        QVERIFY(!limit->isEnabled());
        kind->setFocus();
        QTest::keyClick(kind, Qt::Key_Down);
        QTest::keyClick(kind, Qt::Key_Down);
        QCOMPARE(kind->currentText(), QString("Wait until it has ended"));
        QVERIFY(limit->isEnabled() && !target->isEnabled());
        limit->setFocus();
        limit->selectAll();
        QTest::keyClicks(limit, "90");
        // Another program moves the item down meanwhile.
        korvane::ProgramFiles other(rig.dir / "korvane");
        QVERIFY(korvane::MoveItem(other, korvane::RefOf(other.catalogue, "W"),
                                  {0, other.catalogue.ReadText("W", korvane::ItemKey(0), "")}, 1));
        QTest::mouseClick(sheet->findChild<QPushButton*>("OKButton"), Qt::LeftButton);
        QVERIFY(messages.isEmpty());
        QCOMPARE(rig.files.catalogue.ReadText("W", "Wait3", ""), std::string("Ended;90"));
        QCOMPARE(rig.files.catalogue.ReadText("W", "Wait4", "none"), std::string("none"));
        QTRY_VERIFY(!rig.form->findChild<korvane::TLinkPropertiesForm*>());
        QCOMPARE(rig.items()->topLevelItem(1)->text(2),
                 QString("Application, waits until it ends"));
        QCOMPARE(rig.items()->topLevelItem(0)->text(2), QString("Application"));

        // A port that is no port is refused, and nothing is written.
        sheet = openSheet(0);
        QVERIFY(sheet);
        kind = sheet->findChild<QComboBox*>("WaitKindCombo");
        kind->setCurrentIndex(4);
        target = sheet->findChild<QLineEdit*>("WaitTargetEdit");
        QVERIFY(target->isEnabled());
        QTest::keyClicks(target, "http");
        const std::string before = ReadFile(rig.dir / "batches.lst");
        QTest::mouseClick(sheet->findChild<QPushButton*>("OKButton"), Qt::LeftButton);
        QCOMPARE(messages, QStringList{"The port must be a number from 1 to 65535."});
        QCOMPARE(ReadFile(rig.dir / "batches.lst"), before);
        target->clear();
        QTest::keyClicks(target, "5432");
        QTest::mouseClick(sheet->findChild<QPushButton*>("OKButton"), Qt::LeftButton);
        QCOMPARE(rig.files.catalogue.ReadText("W", "Wait4", ""), std::string("Port;60;5432"));
    }

    void launchesTheBatchWithTheWindowHidden() {
        EditorRig rig("[Empty]\r\nID=1\r\n[W]\r\nID=2\r\nItem0=Interval;0:00:01;Active\r\n");
        rig.run(rig.form->aLaunchBatch); // no items: not even hidden
        QVERIFY(rig.launched.empty());
        rig.batches()->setCurrentRow(1);
        rig.run(rig.form->aLaunchBatch);
        QCOMPARE(rig.launched, std::vector<std::string>{"W"});
        QVERIFY(rig.form->isVisible());
    }

    // A launch from the editor that could not start everything says so in
    // the status bar as the window comes back; a clean one says nothing.
    void aLaunchThatWentWrongIsSaidInTheStatusBar() {
        EditorRig rig("[W]\r\nID=2\r\nItem0=Interval;0:00:01;Active\r\n");
        bool clean = false;
        rig.form->launchBatch = [&](const std::string& batch) {
            korvane::LaunchJournal journal(korvane::ReportFolder(rig.dir.path()), batch, "editor");
            journal.Item({.index = 0, .outcome = korvane::ItemOutcome::Started, .name = "Mail"});
            if (!clean) {
                journal.Item({.index = 1,
                              .outcome = korvane::ItemOutcome::NotFound,
                              .name = "folder 9",
                              .detail = "no file in /x/9"});
            }
            journal.End("finished");
        };
        auto* status = rig.form->findChild<QStatusBar*>();
        QVERIFY(status);
        EditorHands{rig}.clickBatch(rig.batches()->item(0));
        rig.run(rig.form->aLaunchBatch);
        QCOMPARE(status->currentMessage(),
                 QString::fromUtf8("W: 1 of 2 started \u2014 folder 9 not found. Batches "
                                   "\u2192 Last launch tells more."));
        status->clearMessage();
        clean = true;
        rig.run(rig.form->aLaunchBatch);
        QCOMPARE(status->currentMessage(), QString());
    }

    // A run made elsewhere (the startup menu at logon, a desktop shortcut)
    // is shown for the batch a person picks; another batch's later run is not.
    void lastLaunchShowsTheNewestRunOfThePickedBatch() {
        EditorRig rig("[Morning]\r\nID=1\r\n[Evening]\r\nID=2\r\n");
        EditorHands hands{rig};
        auto clock = std::chrono::system_clock::now();
        const auto run = [&](const std::string& batch, const std::string& name) {
            clock += std::chrono::seconds(1);
            korvane::LaunchJournal journal(korvane::ReportFolder(rig.dir.path()), batch,
                                           "startup menu countdown", [&] { return clock; });
            journal.Item({.index = 0,
                          .outcome = korvane::ItemOutcome::Started,
                          .name = name,
                          .processId = 4242,
                          .detail = "/x/" + name + ".lnk"});
            journal.Item({.index = 1,
                          .outcome = korvane::ItemOutcome::FailedToStart,
                          .name = "Notes",
                          .detail = "Permission denied"});
            journal.Item({.index = 2,
                          .outcome = korvane::ItemOutcome::NotFound,
                          .name = "folder 9",
                          .detail = "no file in /x/9"});
            journal.End("stopped at item 3, which was not found");
        };
        run("Morning", "Mail");
        run("morning", "Mail again");
        run("Evening", "Chat");

        QString summary;
        QStringList rows;
        bool listEnabled = false;
        rig.form->showLastLaunch = [&](korvane::TLastLaunchForm& dialog) {
            summary = dialog.Summary->text();
            listEnabled = dialog.ReportList->isEnabled();
            for (int i = 0; i < dialog.ReportList->topLevelItemCount(); ++i) {
                const QTreeWidgetItem* row = dialog.ReportList->topLevelItem(i);
                rows << row->text(0) + "|" + row->text(1) + "|" + row->text(2) + "|" + row->text(4);
                QVERIFY(!row->icon(0).isNull());
            }
            if (dialog.OpenReportButton->isEnabled()) {
                QTest::mouseClick(dialog.OpenReportButton, Qt::LeftButton);
            }
        };
        hands.clickBatch(rig.batches()->item(0));
        rig.run(rig.form->aLastLaunch);
        QVERIFY2(summary.startsWith("Launched by the startup menu's countdown on "),
                 qPrintable(summary));
        QVERIFY2(summary.contains(QRegularExpression(
                     "At \\d\\d:\\d\\d:\\d\\d it stopped at item 3, which was not found\\.$")),
                 qPrintable(summary));
        QCOMPARE(rows, (QStringList{"1|Mail again|started (process 4242)|/x/Mail again.lnk",
                                    "2|Notes|failed to start|Permission denied",
                                    "3|folder 9|not found|no file in /x/9"}));
        QVERIFY(listEnabled);
        // "Open report file" hands the newest Morning report to the desktop.
        QCOMPARE(rig.opened.size(), std::size_t(1));
        QCOMPARE(
            rig.opened[0],
            korvane::ListReports(korvane::ReportFolder(rig.dir.path()))[1].filename().string() +
                " ");

        // A run stopped while it waited for an item says so.
        {
            clock += std::chrono::seconds(1);
            korvane::LaunchJournal journal(korvane::ReportFolder(rig.dir.path()), "Evening",
                                           "startup menu", [&] { return clock; });
            journal.Item({.index = 0, .outcome = korvane::ItemOutcome::Started, .name = "Chat"});
            journal.Item({.index = 0,
                          .outcome = korvane::ItemOutcome::Waited,
                          .name = "Chat",
                          .detail = "for its window: cancelled after 3 s"});
            journal.End("cancelled after item 1");
        }
        rows.clear();
        hands.clickBatch(rig.batches()->item(1));
        rig.run(rig.form->aLastLaunch);
        QVERIFY2(summary.endsWith(" it was cancelled after item 1."), qPrintable(summary));
        QCOMPARE(rows, (QStringList{"1|Chat|started|",
                                    "1|Chat|waited|for its window: cancelled after 3 s"}));

        // A batch never launched says so, and offers no file.
        rows.clear();
        rig.opened.clear();
        {
            korvane::TIniFile catalogue(rig.dir / "batches.lst");
            catalogue.WriteText("Night", "ID", "3");
        }
        rig.form->Reload();
        QTRY_COMPARE(rig.batches()->count(), 3);
        hands.clickBatch(rig.batches()->item(2));
        rig.run(rig.form->aLastLaunch);
        QCOMPARE(summary, QStringLiteral("\"Night\" has not been launched since this program "
                                         "began keeping reports."));
        QVERIFY(rows.isEmpty());
        QVERIFY(!listEnabled);
        QVERIFY(rig.opened.empty());
    }

    // What the session started by itself moves into a batch, in the order
    // picked, and goes back exactly as it was.
    void importsFromTheSessionsAutostartAndGivesItBack() {
        if (!korvane::test::kFreedesktop) {
            QSKIP("XDG autostart is the freedesktop desktops'");
        }
        EditorRig rig("[W]\r\nID=7\r\n");
        EditorHands hands{rig};
        qputenv("XDG_CONFIG_DIRS", QByteArray::fromStdString((rig.dir / "xdg").string()));
        const fs::path user = rig.dir / "config" / "autostart";
        const fs::path system = rig.dir / "xdg" / "autostart";
        WriteFile(user / "mine.desktop",
                  "[Desktop Entry]\nType=Application\nName=Mine\nExec=/bin/true\n# kept\n");
        WriteFile(system / "sync.desktop",
                  "[Desktop Entry]\nType=Application\nName=Sync\nExec=/bin/true\n");
        WriteFile(system / "hidden.desktop",
                  "[Desktop Entry]\nType=Application\nName=Hidden\nExec=/bin/true\nHidden=true\n");
        const std::string mineBefore = ReadFile(user / "mine.desktop");

        QStringList offered;
        rig.form->runPickList = [&](korvane::TPickListForm& dialog) {
            QListWidget* list = dialog.PickList;
            for (int i = 0; i < list->count(); ++i) {
                offered << list->item(i)->text();
            }
            // Both checked with the space bar, Sync moved first.
            list->setFocus();
            for (int row : {0, 1}) {
                list->setCurrentRow(row);
                QTest::keyClick(list, Qt::Key_Space);
            }
            QTest::mouseClick(dialog.UpButton, Qt::LeftButton);
            QTest::mouseClick(dialog.ConfirmButton, Qt::LeftButton);
            return dialog.result() == QDialog::Accepted;
        };
        hands.clickBatch(rig.batches()->item(0));
        rig.run(rig.form->aImportAutostart);
        QCOMPARE(offered, (QStringList{"Mine", "Sync (every user's)"}));
        QCOMPARE(rig.itemCaptions(), (QStringList{"Sync", "Mine"}));
        QVERIFY(korvane::shell::ListSessionStarts().empty());
        QCOMPARE(ReadFile(system / "sync.desktop"),
                 std::string("[Desktop Entry]\nType=Application\nName=Sync\nExec=/bin/true\n"));

        offered.clear();
        rig.form->runPickList = [&](korvane::TPickListForm& dialog) {
            for (int i = 0; i < dialog.PickList->count(); ++i) {
                offered << dialog.PickList->item(i)->text();
                dialog.PickList->item(i)->setCheckState(Qt::Checked);
            }
            QTest::mouseClick(dialog.ConfirmButton, Qt::LeftButton);
            return dialog.result() == QDialog::Accepted;
        };
        rig.run(rig.form->aGiveBackAutostart);
        QCOMPARE(offered, (QStringList{"Mine", "Sync"}));
        QCOMPARE(ReadFile(user / "mine.desktop"), mineBefore);
        QVERIFY(!fs::exists(user / "sync.desktop"));
        QCOMPARE(std::distance(fs::directory_iterator(user), fs::directory_iterator()), 1);
        QCOMPARE(korvane::shell::ListSessionStarts().size(), std::size_t(2));
        QCOMPARE(rig.itemCaptions(), (QStringList{"Sync", "Mine"})); // the items stay
        QVERIFY(messages.isEmpty());
        qunsetenv("XDG_CONFIG_DIRS");
    }

    void makesADesktopShortcutThatLaunchesTheBatch() {
        if (!korvane::test::kFreedesktop) {
            QSKIP("desktop entries are the freedesktop backend's");
        }
        EditorRig rig("[Work \"tools\"]\r\nID=2\r\nIconFile=/i/w.png\r\nIconIndex=1\r\n");
        rig.run(rig.form->aMakeShortcut);
        const fs::path shortcut = rig.dir / "Desktop" / "Work \"tools\".desktop";
        QVERIFY(fs::exists(shortcut));
        const std::string text = ReadFile(shortcut);
        QVERIFY(text.find("Icon=/i/w.png") != std::string::npos);
        QVERIFY(text.find("\\\\\"tools\\\\\"") != std::string::npos); // the quote escaped twice
    }

    void desktopShortcutsShowTheBatchIconOrTheProgramIcon_data() {
        QTest::addColumn<QString>("iconKeys");
        QTest::addColumn<QString>("expected"); // the Icon= line, after the program folder
        QTest::newRow("noIcon") << ""
                                << "/Icons/korvane.svg";
        QTest::newRow("collection") << "IconFile=Icons/korvane.ico\r\nIconIndex=4\r\n"
                                    << "/Icons/korvane.ico";
    }
    void desktopShortcutsShowTheBatchIconOrTheProgramIcon() {
        QFETCH(QString, iconKeys);
        QFETCH(QString, expected);
        if (!korvane::test::kFreedesktop) {
            QSKIP("desktop entries are the freedesktop backend's");
        }
        EditorRig rig("[Plain]\r\nID=3\r\n" + iconKeys.toStdString());
        rig.run(rig.form->aMakeShortcut);
        const std::string text = ReadFile(rig.dir / "Desktop" / "Plain.desktop");
        const std::string folder = korvane::shell::ExecutablePath().parent_path().string();
        QVERIFY2(text.find("Icon=" + folder + expected.toStdString() + "\n") != std::string::npos,
                 text.c_str());
        QVERIFY(fs::exists(folder + expected.toStdString()));
    }

    // On Windows the shortcut is a shell link on the user's desktop that runs
    // the program with the batch's name, under the batch's icon or the program's.
    void makesAShellLinkOnTheDesktop_data() {
        QTest::addColumn<QString>("iconKeys");
        QTest::addColumn<QString>("icon"); // in the program's folder
        QTest::addColumn<int>("index");
        QTest::newRow("noIcon") << ""
                                << "Icons/korvane-program.ico" << 0;
        QTest::newRow("collection") << "IconFile=Icons/korvane.ico\r\nIconIndex=4\r\n"
                                    << "Icons/korvane.ico" << 4;
    }
    void makesAShellLinkOnTheDesktop() {
        QFETCH(QString, iconKeys);
        QFETCH(QString, icon);
        QFETCH(int, index);
        if (korvane::test::kFreedesktop) {
            QSKIP("shell links are Windows's own");
        }
        EditorRig rig("[Work tools]\r\nID=3\r\n" + iconKeys.toStdString());
        const fs::path link = korvane::test::DesktopFile("Work tools");
        rig.run(rig.form->aMakeShortcut);
        const auto sheet = korvane::shell::ReadLinkSheet(link);
        fs::remove(link);
        QVERIFY(sheet);
        const auto same = [](const std::string& a, fs::path b) { // as Windows compares paths
            const auto folded = [](fs::path p) {
                return korvane::utf8::FoldCase(
                    korvane::utf8::FromPath(p.make_preferred().lexically_normal()));
            };
            return folded(korvane::utf8::ToPath(a)) == folded(std::move(b));
        };
        QVERIFY2(same(sheet->target, rig.files.executable), sheet->target.c_str());
        QCOMPARE(sheet->arguments, std::string("\"--\" \"Work tools\""));
        const fs::path folder = korvane::shell::ExecutablePath().parent_path();
        QVERIFY2(same(sheet->iconFile, folder / icon.toStdString()), sheet->iconFile.c_str());
        QCOMPARE(sheet->iconIndex, index);
    }

    void toolBarSettingsAndOtherCommands() {
        EditorRig rig("[W]\r\nID=2\r\n");
        auto* bar = rig.form->toolBar();
        rig.run(rig.form->aTB_Show);
        QVERIFY(bar->isHidden());
        QVERIFY(!rig.form->coolBar()->isHidden());
        rig.run(rig.form->aTB_Show);
        QVERIFY(!bar->isHidden());
        rig.run(rig.form->aTB_Captions);
        QVERIFY(!bar->ShowCaptions());
        QVERIFY(!rig.form->aTB_List->isEnabled());
        rig.run(rig.form->aTB_Captions);
        QVERIFY(rig.form->aTB_List->isEnabled());
        rig.run(rig.form->aTB_List);
        QVERIFY(!bar->List());
        QCOMPARE(bar->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);

        // F1: the HTML help beside the program, or a word that it is missing.
        const fs::path help = korvane::shell::HelpFile();
        QVERIFY(!fs::exists(help));
        QApplication::setActiveWindow(rig.form.get()); // shortcuts go to the active window
        QTest::keyClick(rig.items(), Qt::Key_F1);
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages[0].startsWith("The help file ") && messages[0].contains("is missing"),
                 qPrintable(messages[0]));
        QVERIFY(rig.opened.empty());
        WriteFile(help, "<html></html>");
        QTest::keyClick(rig.items(), Qt::Key_F1);
        fs::remove_all(help.parent_path());
        QSignalSpy closed(rig.form.get(), &TForm1::closed);
        rig.run(rig.form->aSwitchToDialog);
        QCOMPARE(rig.opened, (std::vector<std::string>{"index.html ", "korvane -startup"}));
        QCOMPARE(closed.count(), 1);

        // Closing stored the four roots, the editor window without Visible.
        korvane::TIniFile layout(rig.files.layoutFile);
        QCOMPARE(layout.ReadText("ToolBar1", "ToolBar1.List", ""), std::string("0"));
        QCOMPARE(layout.ReadText("BatchList", "BatchList.Width", "").empty(), false);
        QCOMPARE(layout.ReadText("CoolBar1", "CoolBar1.Visible", ""), std::string("1"));
        QCOMPARE(layout.ReadText("Form1", "Form1.Visible", "-"), std::string("-"));
        QCOMPARE(layout.ReadText("Form1", "Form1.Width", "").empty(), false);

        EditorRig again("[W]\r\nID=2\r\n");
        korvane::TIniFile(again.files.layoutFile).WriteText("ToolBar1", "ToolBar1.List", "0");
        korvane::LoadLayout(again.files.layoutFile, *again.form->toolBar());
        QVERIFY(!again.form->toolBar()->List());
    }

    // KORVANE_SCREENSHOTS=<folder> keeps pictures of the windows to look at.
    void screenshots() {
        const QString shots = qEnvironmentVariable("KORVANE_SCREENSHOTS");
        if (shots.isEmpty()) {
            QSKIP("KORVANE_SCREENSHOTS not set");
        }
        EditorRig rig("[Monday morning]\r\nID=1\r\nItem0=File;3\\;Active\r\n"
                      "Item1=Interval;0:05:00;Active\r\nItem2=File;4\\;Disabled\r\n"
                      "Item3=File;5\\;Active\r\nItem4=Odd;x;Active\r\n"
                      "[Weekend with a rather long name]\r\nID=2\r\n"
                      "IconFile=Icons/korvane.ico\r\nIconIndex=3\r\n");
        WriteFile(rig.dir / "Shortcuts" / "1" / "3" / "sh.lnk", "[Shell Link]\nTarget=/bin/sh\n");
        WriteFile(rig.dir / "Shortcuts" / "1" / "4" / "hosts.lnk",
                  "[Shell Link]\nTarget=/etc/hosts\n");
        WriteFile(rig.dir / "Shortcuts" / "1" / "5" / "term.desktop",
                  "[Desktop Entry]\nType=Application\nName=Term\nExec=xterm\n"
                  "Icon=utilities-terminal\n");
        rig.form->Reload();
        QTest::qWait(100);
        rig.form->grab().save(shots + "/editor.png");
        rig.form->BuildDialogs();
        for (const char* name : {"AboutBox", "Form3"}) {
            auto* dialog = rig.form->findChild<QDialog*>(name);
            dialog->show();
            dialog->grab().save(shots + "/" + name + ".png");
            dialog->hide();
        }
    }

    void aDropCopiesAndNeverMoves_data() {
        QTest::addColumn<int>("offered");
        QTest::addColumn<int>("proposed");
        QTest::addColumn<int>("expected"); // the action the source is told; 0: refused
        QTest::newRow("moveProposedCopyOffered")
            << int(Qt::MoveAction | Qt::CopyAction) << int(Qt::MoveAction) << int(Qt::CopyAction);
        QTest::newRow("moveOrLink")
            << int(Qt::MoveAction | Qt::LinkAction) << int(Qt::MoveAction) << int(Qt::LinkAction);
        QTest::newRow("moveOnly") << int(Qt::MoveAction) << int(Qt::MoveAction) << 0;
        QTest::newRow("copy") << int(Qt::CopyAction) << int(Qt::CopyAction) << int(Qt::CopyAction);
    }
    void aDropCopiesAndNeverMoves() {
        QFETCH(int, offered);
        QFETCH(int, proposed);
        QFETCH(int, expected);
        EditorRig rig("[A]\r\nID=1\r\n");
        WriteFile(rig.dir / "src" / "Tool.LNK", "[Shell Link]\nTarget=/bin/true\n");
        QMimeData data;
        data.setUrls(
            {QUrl::fromLocalFile(QString::fromStdString((rig.dir / "src" / "Tool.LNK").string()))});
        QWidget* target = rig.items()->viewport();
        QDragEnterEvent enter(QPoint(5, 5), Qt::DropActions(offered), &data, Qt::LeftButton, {});
        enter.setDropAction(Qt::DropAction(proposed));
        QApplication::sendEvent(target, &enter);
        QDropEvent drop(QPointF(5, 5), Qt::DropActions(offered), &data, Qt::LeftButton, {});
        drop.setDropAction(Qt::DropAction(proposed));
        QApplication::sendEvent(target, &drop);
        QCOMPARE(enter.isAccepted(), expected != 0);
        QCOMPARE(drop.isAccepted(), expected != 0);
        if (expected != 0) {
            QCOMPARE(int(enter.dropAction()), expected);
            QCOMPARE(int(drop.dropAction()), expected);
        }
        QCOMPARE(rig.items()->topLevelItemCount(), expected != 0 ? 1 : 0);
        QVERIFY(fs::exists(rig.dir / "src" / "Tool.LNK"));
    }

    void aClickAfterADeleteLoadsTheClickedBatch() {
        EditorRig rig("[A]\r\nID=1\r\nItem0=Interval;0:00:01;Active\r\n"
                      "[B]\r\nID=2\r\nItem0=Interval;0:00:02;Active\r\n"
                      "[C]\r\nID=3\r\nItem0=Interval;0:00:03;Active\r\n");
        for (const char* clicked : {"A", "C"}) {
            auto* row = rig.batches()->findItems("B", Qt::MatchExactly).value(0);
            if (!row) {
                row = rig.batches()->item(0);
            }
            QWidget* view = rig.batches()->viewport();
            QTest::mouseClick(view, Qt::LeftButton, {},
                              rig.batches()->visualItemRect(row).center());
            rig.run(rig.form->aDeleteBatch);
            QCOMPARE(korvane::CurrentBatchName(), std::string());
            auto* target = rig.batches()->findItems(clicked, Qt::MatchExactly).value(0);
            QVERIFY(target);
            QTest::mouseClick(view, Qt::LeftButton, {},
                              rig.batches()->visualItemRect(target).center());
            QCOMPARE(korvane::CurrentBatchName(), std::string(clicked));
            QCOMPARE(rig.items()->topLevelItemCount(), 1);
            rig.pauseLength = 9;
            rig.run(rig.form->aAddPause);
            QCOMPARE(rig.files.catalogue.ReadText(clicked, "Item1", ""),
                     std::string("Interval;0:00:09;Active"));
        }
    }

    void renamingInPlaceWithBlanksKeepsTheBatch() {
        EditorRig rig("[Morning]\r\nID=1\r\nItem0=Interval;0:00:01;Active\r\n[Other]\r\nID=2\r\n");
        QListWidget* list = rig.batches();
        list->setFocus();
        list->setCurrentRow(0);
        QTest::keyClick(list, Qt::Key_F2);
        auto* editor = list->viewport()->findChild<QLineEdit*>();
        QVERIFY(editor);
        editor->selectAll();
        QTest::keyClicks(editor, "Evening ");
        QTest::keyClick(editor, Qt::Key_Return);
        QCoreApplication::processEvents(); // the delegate commits from a queued call
        QCOMPARE(list->item(0)->text(), QString("Evening")); // listed last from the next fill on
        QCOMPARE(rig.files.catalogue.AllSections(), (std::vector<std::string>{"Other", "Evening"}));
        QCOMPARE(rig.files.catalogue.ReadText("Evening", "Item0", ""),
                 std::string("Interval;0:00:01;Active"));
        QCOMPARE(korvane::CurrentBatchName(), std::string("Evening"));
        QVERIFY(messages.isEmpty());
    }

    // Random sequences of what a person does in the editor. After every
    // step the batch list holds the catalogue's batches, and the item list
    // mirrors the catalogue entries of the batch the selection shows.
    void randomEditingKeepsTheWindowAndTheCatalogueTogether() {
        const QStringList names = {
            "Evening ", " Morning", "A[b]", "x=y",    "Ünïcode",  "work",
            "WORK",     "",         "  ",   "a;b\\c", "'quoted'", QString(300, QLatin1Char('n'))};
        for (unsigned seed : {1u, 2u, 3u, 4u}) {
            EditorRig rig("[Work]\r\nID=1\r\nItem0=Interval;0:00:01;Active\r\n"
                          "[Play]\r\nID=2\r\n");
            WriteFile(rig.dir / "src" / "Tool.lnk", "[Shell Link]\nTarget=/bin/true\n");
            EditorHands hands{rig};
            std::mt19937 random(seed);
            QStringList log;
            for (int step = 0; step < 40; ++step) {
                const int what = static_cast<int>(random() % 11);
                QListWidget* list = rig.batches();
                const int batches = list->count();
                const int items = rig.items()->topLevelItemCount();
                switch (what) {
                case 0:
                case 1:
                    if (batches > 0) {
                        QListWidgetItem* row = list->item(static_cast<int>(random() % batches));
                        log << "click batch " + row->text();
                        hands.clickBatch(row);
                    }
                    break;
                case 2:
                    log << "add batch";
                    hands.clickTool(rig.form->aAddBatch);
                    hands.typeBatchName(names[random() % names.size()], random() % 2);
                    break;
                case 3:
                    log << "rename";
                    hands.typeBatchName(names[random() % names.size()], true);
                    break;
                case 4:
                    log << "delete batch";
                    rig.run(rig.form->aDeleteBatch);
                    break;
                case 5:
                    log << "add application";
                    rig.picked =
                        random() % 2
                            ? QStringLiteral("/bin/true")
                            : QString::fromStdString((rig.dir / "src" / "Tool.lnk").string());
                    hands.clickTool(rig.form->aAddApplication);
                    break;
                case 6:
                    log << "add pause";
                    rig.pauseLength = static_cast<int>(random() % 100);
                    hands.clickTool(rig.form->aAddPause);
                    break;
                case 7:
                    if (items > 0) {
                        const int i = static_cast<int>(random() % items);
                        log << "switch item " + QString::number(i);
                        const bool before =
                            rig.items()->topLevelItem(i)->checkState(0) == Qt::Checked;
                        hands.clickCheckBox(i);
                        QCOMPARE(rig.items()->topLevelItem(i)->checkState(0) == Qt::Checked,
                                 !before);
                    }
                    break;
                case 8:
                    if (items > 0) {
                        const int i = static_cast<int>(random() % items);
                        log << "move item " + QString::number(i);
                        hands.clickItem(i);
                        hands.clickTool(random() % 2 ? rig.form->aUp : rig.form->aDown);
                    }
                    break;
                default:
                    if (items > 0) {
                        const int i = static_cast<int>(random() % items);
                        log << "delete item " + QString::number(i);
                        hands.clickItem(i);
                        hands.clickTool(rig.form->aDeleteApplication);
                    }
                    break;
                }
                const QString trail = QStringLiteral("seed %1: %2").arg(seed).arg(log.join(", "));
                // The batch list: the catalogue's batches, by name.
                QStringList shown, stored;
                for (int i = 0; i < list->count(); ++i) {
                    shown << list->item(i)->text();
                }
                for (const auto& name : rig.files.catalogue.AllSections()) {
                    stored << QString::fromStdString(name);
                }
                shown.sort();
                stored.sort();
                QVERIFY2(shown == stored, qPrintable(trail));
                // The item list: the entries of the selected batch.
                const auto selected = list->selectedItems();
                if (selected.isEmpty()) {
                    QVERIFY2(rig.items()->topLevelItemCount() == 0, qPrintable(trail));
                    continue;
                }
                const std::string batch = selected.front()->text().toStdString();
                QVERIFY2(korvane::CurrentBatchName() == batch, qPrintable(trail));
                const int count = korvane::ItemCount(rig.files.catalogue, batch);
                QVERIFY2(rig.items()->topLevelItemCount() == count, qPrintable(trail));
                for (int i = 0; i < count; ++i) {
                    korvane::tqAppInfo item;
                    korvane::DecodeItemEntry(
                        rig.files.catalogue.ReadText(batch, korvane::ItemKey(i), ""), item);
                    QTreeWidgetItem* row = rig.items()->topLevelItem(i);
                    QVERIFY2((row->checkState(0) == Qt::Checked) == item.Active, qPrintable(trail));
                    const bool pause = item.Kind == korvane::TItemKind::ikInterval;
                    QVERIFY2((row->text(2) == "Pause") == pause, qPrintable(trail));
                    if (pause) {
                        QVERIFY2(row->text(0).toStdString() == korvane::FormatClockTime(item.Time),
                                 qPrintable(trail));
                    }
                }
            }
        }
    }

    // The keys of the menus, sent to the widget that has the focus.
    void keyboardCommands() {
        EditorRig rig("[A]\r\nID=1\r\nItem0=Interval;0:00:01;Active\r\n"
                      "Item1=Interval;0:00:02;Active\r\nItem2=Interval;0:00:03;Active\r\n"
                      "[B]\r\nID=2\r\n");
        QApplication::setActiveWindow(rig.form.get()); // keys go to the focused list
        QTreeWidget* items = rig.items();
        items->setFocus();
        rig.selectItem(0);
        rig.form->UpdateActions();
        QTest::keyClick(items, Qt::Key_Down, Qt::ControlModifier);
        QCOMPARE(rig.itemCaptions(), QStringList({"0:00:02", "0:00:01", "0:00:03"}));
        QCOMPARE(rig.selectedRow(), 1); // the moved row stays selected
        QTest::keyClick(items, Qt::Key_Down, Qt::AltModifier);
        QCOMPARE(rig.itemCaptions(), QStringList({"0:00:02", "0:00:03", "0:00:01"}));
        QTest::keyClick(items, Qt::Key_Up, Qt::ControlModifier);
        QCOMPARE(rig.itemCaptions(), QStringList({"0:00:02", "0:00:01", "0:00:03"}));
        QTest::keyClick(items, Qt::Key_Delete);
        QCOMPARE(rig.itemCaptions(), QStringList({"0:00:02", "0:00:03"}));
        QCOMPARE(rig.files.catalogue.ReadText("A", "Item2", "-"), std::string("-"));
        QCOMPARE(rig.files.catalogue.ListSections(), (std::vector<std::string>{"A", "B"}));

        QTest::keyClick(items, Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(rig.launched, std::vector<std::string>{"A"});
        QVERIFY(rig.properties.empty()); // Ctrl+Enter launches; Enter alone opens properties
        // It was hidden for the launch and is active again once shown.
        QTRY_VERIFY(rig.form->isActiveWindow());
        QCoreApplication::processEvents();

        QListWidget* batches = rig.batches();
        batches->setFocus();
        QTest::keyClick(batches, Qt::Key_Insert);
        QCOMPARE(batches->count(), 3);
        if (auto* editor = batches->viewport()->findChild<QLineEdit*>()) {
            QTest::keyClick(editor, Qt::Key_Delete); // edits the name, deletes no batch
            QTest::keyClick(editor, Qt::Key_Escape);
        }
        QCOMPARE(batches->count(), 3);
        batches->setFocus();
        QTest::keyClick(batches, Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(batches->count(), 4);
        if (auto* editor = batches->viewport()->findChild<QLineEdit*>()) {
            QTest::keyClick(editor, Qt::Key_Escape);
        }
        batches->setFocus();
        QCoreApplication::processEvents();
        rig.form->UpdateActions(); // as the idle update does
        QTest::keyClick(batches, Qt::Key_Delete);
        QCOMPARE(batches->count(), 3);
        QCOMPARE(rig.files.catalogue.AllSections().size(), std::size_t(3));
        // Each key is shown in its menu entry.
        QCOMPARE(rig.form->aAddBatch->shortcuts().value(0), QKeySequence(Qt::Key_Insert));
        QCOMPARE(rig.form->aUp->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Up));
    }

    void aNewRowIsSelectedAndShown() {
        std::string catalogue = "[A]\r\nID=1\r\n";
        for (int i = 0; i < 60; ++i) {
            catalogue += "Item" + std::to_string(i) + "=Interval;0:00:01;Active\r\n";
        }
        EditorRig rig(catalogue);
        rig.pauseLength = 42;
        rig.run(rig.form->aAddPause);
        QCOMPARE(rig.selectedRow(), 60);
        QTreeWidgetItem* added = rig.items()->topLevelItem(60);
        QCOMPARE(added->text(0), QString("0:00:42"));
        QVERIFY(rig.items()->viewport()->rect().intersects(rig.items()->visualItemRect(added)));
        rig.picked = QStringLiteral("/bin/true");
        rig.run(rig.form->aAddApplication);
        QCOMPARE(rig.selectedRow(), 61);
    }

    // A row dragged onto another takes its place, written as Up/Down steps.
    void rowsAreDraggedIntoPlace() {
        EditorRig rig("[A]\r\nID=1\r\nItem0=Interval;0:00:01;Active\r\n"
                      "Item1=Interval;0:00:02;Disabled\r\nItem2=Interval;0:00:03;Active\r\n"
                      "Item3=Interval;0:00:04;Active\r\n");
        const std::string before = ReadFile(rig.dir / "batches.lst");
        // What Down, Down, Down from the first row writes.
        {
            TempDir other;
            korvane::ProgramFiles files(other / "korvane");
            WriteFile(other / "batches.lst", before);
            for (int i = 0; i < 3; ++i) {
                korvane::MoveItem(files, korvane::RefOf(files.catalogue, "A"),
                                  {i, files.catalogue.ReadText("A", korvane::ItemKey(i), "")}, +1);
            }
            rig.selectItem(0);
            QTreeWidget* items = rig.items();
            QMimeData* data = items->model()->mimeData({items->model()->index(0, 0)});
            const QPoint target = items->visualItemRect(items->topLevelItem(3)).center();
            QDragEnterEvent enter(target, Qt::MoveAction | Qt::CopyAction, data, Qt::LeftButton,
                                  {});
            QApplication::sendEvent(items->viewport(), &enter);
            QVERIFY(enter.isAccepted());
            QDropEvent drop(QPointF(target), Qt::MoveAction | Qt::CopyAction, data, Qt::LeftButton,
                            {});
            QApplication::sendEvent(items->viewport(), &drop);
            delete data;
            QCOMPARE(ReadFile(rig.dir / "batches.lst"), ReadFile(other / "batches.lst"));
        }
        QCOMPARE(rig.itemCaptions(), QStringList({"0:00:02", "0:00:03", "0:00:04", "0:00:01"}));
        QCOMPARE(rig.selectedRow(), 3);
        QCOMPARE(rig.items()->topLevelItem(0)->checkState(0), Qt::Unchecked); // states travel
    }

    // Rows are as high whether the first row has an icon of the theme or
    // not: every row has a 16 px icon of some kind.
    void everyRowHasAnIconAndOneHeight() {
        EditorRig rig("[A]\r\nID=1\r\nItem0=Odd;x;Active\r\nItem1=File;9\\;Active\r\n"
                      "Item2=File;3\\;Active\r\nItem3=Interval;0:00:05;Active\r\n"
                      "Item4=File;4\\;Active\r\n");
        WriteFile(rig.dir / "Shortcuts" / "1" / "3" / "true.lnk",
                  "[Shell Link]\nTarget=/bin/true\n");
        WriteFile(rig.dir / "Shortcuts" / "1" / "4" / "notes.txt.lnk",
                  "[Shell Link]\nTarget=/nowhere/notes.txt\n");
        rig.form->Reload();
        QTreeWidget* items = rig.items();
        QCOMPARE(items->topLevelItemCount(), 5);
        const int height = items->visualItemRect(items->topLevelItem(0)).height();
        QVERIFY(height >= 16);
        for (int i = 0; i < items->topLevelItemCount(); ++i) {
            QTreeWidgetItem* row = items->topLevelItem(i);
            QVERIFY2(!row->icon(0).isNull(), qPrintable(row->text(0)));
            QVERIFY(!row->icon(0).pixmap(16, 16).isNull());
            QCOMPARE(items->visualItemRect(row).height(), height);
        }
    }

    // Return on the in-place editor renames even an unchanged name: the
    // section is written anew and the batch lists last.
    void aConfirmedUnchangedNameStillRewritesTheSection() {
        EditorRig rig("[First]\r\nID=1\r\n[Second]\r\nID=2\r\n");
        QListWidget* list = rig.batches();
        list->setCurrentRow(0);
        QTest::keyClick(list, Qt::Key_F2);
        auto* editor = list->viewport()->findChild<QLineEdit*>();
        QVERIFY(editor);
        QTest::keyClick(editor, Qt::Key_Return);
        QCoreApplication::processEvents();
        QCOMPARE(rig.files.catalogue.AllSections(), (std::vector<std::string>{"Second", "First"}));
        // Escape changes nothing.
        list->setCurrentRow(1);
        QTest::keyClick(list, Qt::Key_F2);
        editor = list->viewport()->findChild<QLineEdit*>();
        QVERIFY(editor);
        QTest::keyClick(editor, Qt::Key_Escape);
        QCoreApplication::processEvents();
        QCOMPARE(rig.files.catalogue.AllSections(), (std::vector<std::string>{"Second", "First"}));
        QVERIFY(messages.isEmpty());
    }

    // Keys reach what a mouse reaches: Shift+F10 and the Menu key open a
    // list's context menu, Tab goes from list to list (not through every
    // tool-bar button), and every control has a name for screen readers.
    void keyboardAndScreenReaders() {
        EditorRig rig("[A]\r\nID=1\r\nItem0=Interval;0:00:05;Active\r\n");
        QApplication::setActiveWindow(rig.form.get());
        auto* batchPopup = rig.form->findChild<QMenu*>("BatchPopup");
        auto* appPopup = rig.form->findChild<QMenu*>("AppPopup");
        rig.batches()->setFocus();
        QTest::keyClick(rig.batches(), Qt::Key_F10, Qt::ShiftModifier);
        QTRY_VERIFY(batchPopup->isVisible());
        batchPopup->hide();
        rig.selectItem(0);
        QTest::keyClick(rig.items(), Qt::Key_Menu);
        QTRY_VERIFY(appPopup->isVisible());
        appPopup->hide();
        rig.batches()->setFocus();
        QTest::keyClick(rig.batches(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(rig.items()));
        for (QWidget* w : rig.form->findChildren<QWidget*>()) {
            // (A list's column header is read as part of its list.)
            if (w->isVisible() && !qobject_cast<QHeaderView*>(w) &&
                (qobject_cast<QAbstractButton*>(w) || qobject_cast<QAbstractItemView*>(w))) {
                QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
                QVERIFY2(a && !a->text(QAccessible::Name).isEmpty(),
                         qPrintable(w->objectName() + " " + w->metaObject()->className()));
            }
        }
        // Every menu and every entry has its letter.
        for (QMenu* menu : rig.form->findChild<QMenuBar*>("MainMenu1")->findChildren<QMenu*>()) {
            if (menu->title().isEmpty()) {
                continue; // the bar's own overflow menu
            }
            QVERIFY2(menu->title().contains('&'), qPrintable(menu->title()));
            for (QAction* a : menu->actions()) {
                QVERIFY2(a->isSeparator() || a->text().contains('&'), qPrintable(a->text()));
            }
        }
    }

    // Under a window manager (scripts/with-openbox.sh; skipped elsewhere): a
    // window too large for the screen is fitted once its frame is known, and
    // a dialog opens centred over the editor every time it is shown.
    void windowsFitTheScreenAndDialogsOpenCentred() {
        if (QGuiApplication::platformName() != QLatin1String("xcb")) {
            QSKIP("needs a window manager (scripts/with-openbox.sh)");
        }
        EditorRig rig("[A]\r\nID=1\r\n");
        rig.form->hide();
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        rig.form->setGeometry(screen.x() + 40, screen.y() + 60, screen.width(), screen.height());
        rig.form->KeepOnScreen();
        rig.form->show();
        rig.form->KeepOnScreen();
        QVERIFY(QTest::qWaitForWindowExposed(rig.form.get()));
        QTRY_VERIFY2(screen.contains(rig.form->frameGeometry()),
                     qPrintable(QStringLiteral("%1,%2 %3x%4")
                                    .arg(rig.form->frameGeometry().x())
                                    .arg(rig.form->frameGeometry().y())
                                    .arg(rig.form->frameGeometry().width())
                                    .arg(rig.form->frameGeometry().height())));

        rig.form->resize(500, 300);
        rig.form->move(screen.topLeft() + QPoint(100, 100));
        QTest::qWait(300);
        rig.form->BuildDialogs();
        auto* dialog = rig.form->findChild<QDialog*>("Form3");
        for (int showing = 0; showing < 3; ++showing) {
            dialog->show();
            QVERIFY(QTest::qWaitForWindowExposed(dialog));
            QTest::qWait(300); // the window manager has placed it
            const QPoint offset = dialog->geometry().center() - rig.form->geometry().center();
            QVERIFY2(offset.manhattanLength() <= 2,
                     qPrintable(QStringLiteral("showing %1 off by %2,%3")
                                    .arg(showing)
                                    .arg(offset.x())
                                    .arg(offset.y())));
            dialog->hide();
            QTest::qWait(100);
        }
    }

    // At the window's first size every tool-bar button shows, each at least
    // 100 wide with its caption: a narrow window wraps them into two rows.
    void everyToolBarButtonShowsAtTheDefaultSize() {
        EditorRig rig("[A]\r\nID=1\r\n");
        QVERIFY(QTest::qWaitForWindowExposed(rig.form.get()));
        QCOMPARE(rig.form->size(), QSize(658, 378));
        auto* bar = rig.form->toolBar();
        for (QAction* a : {rig.form->aAddBatch, rig.form->aLaunchBatch, rig.form->aMakeShortcut,
                           rig.form->aAddApplication, rig.form->aAddPause,
                           rig.form->aDeleteApplication, rig.form->aUp, rig.form->aDown}) {
            QWidget* button = bar->widgetForAction(a);
            QVERIFY2(button && button->isVisible(), qPrintable(a->text()));
            QVERIFY(button->width() >= 100);
            const QRect inWindow(button->mapTo(rig.form.get(), QPoint(0, 0)), button->size());
            QVERIFY2(rig.form->rect().contains(inWindow), qPrintable(a->text()));
        }
        // The rows line up in columns: every button as wide as the others, and
        // each one starts where a button of the first row starts.
        QSet<int> columns;
        const int top = bar->widgetForAction(rig.form->aAddBatch)->y();
        for (QAction* a : bar->actions()) {
            if (QWidget* w = bar->widgetForAction(a); !a->isSeparator()) {
                QCOMPARE(w->width(), bar->widgetForAction(rig.form->aAddBatch)->width());
                if (w->y() == top) {
                    columns.insert(w->x());
                } else {
                    QVERIFY2(columns.contains(w->x()), qPrintable(a->text()));
                }
            }
        }
        // The separator stands in the gap before "Add application", seen.
        QAction* separator = bar->actions()[3];
        QVERIFY(separator->isSeparator());
        const QRect line = bar->widgetForAction(separator)->geometry();
        const QRect next = bar->widgetForAction(rig.form->aAddApplication)->geometry();
        QVERIFY(line.width() > 0 && line.height() > 0);
        QCOMPARE(line.right() + 1, next.left());
        QCOMPARE(line.top(), next.top());
    }

    // The pause picker edits a length of time: hours, minutes and seconds in
    // the user's form, never with AM/PM (captions still follow the clock).
    void thePausePickerEditsALengthOfTime_data() {
        QTest::addColumn<bool>("twelveHour");
        QTest::addColumn<bool>("leadingZero");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("shown");
        QTest::newRow("24h") << false << false << "H:mm:ss"
                             << "0:05:00";
        QTest::newRow("24hZero") << false << true << "HH:mm:ss"
                                 << "00:05:00";
        QTest::newRow("12h") << true << false << "H:mm:ss"
                             << "0:05:00";
    }
    void thePausePickerEditsALengthOfTime() {
        QFETCH(bool, twelveHour);
        QFETCH(bool, leadingZero);
        QFETCH(QString, format);
        QFETCH(QString, shown);
        korvane::TimeFormat f;
        f.twelveHour = twelveHour;
        f.leadingZero = leadingZero;
        korvane::SetUserTimeFormat(f);
        korvane::TForm3 dialog;
        auto* picker = dialog.findChild<QTimeEdit*>("DateTimePicker1");
        QCOMPARE(picker->displayFormat(), format);
        dialog.SetTime(5.0 / (24 * 60));
        QCOMPARE(picker->text(), shown);
        // The Up key on the hours adds an hour, nothing turns it into 12.
        picker->setCurrentSection(QDateTimeEdit::HourSection);
        QTest::keyClick(picker, Qt::Key_Up);
        QCOMPARE(dialog.Time(), 65.0 / (24 * 60));
    }

    void droppedFilesBecomeItemsInTheirOrder() {
        EditorRig rig("[A]\r\nID=1\r\nItem0=Interval;0:00:01;Active\r\n"
                      "Item1=Interval;0:00:02;Active\r\n[B]\r\nID=2\r\n");
        WriteFile(rig.dir / "src" / "Tool.LNK", "[Shell Link]\nTarget=/bin/true\n");
        QList<QUrl> urls{
            QUrl::fromLocalFile("/opt/x/one"),
            QUrl::fromLocalFile(QString::fromStdString((rig.dir / "src" / "Tool.LNK").string())),
            QUrl("https://example.org/page"), QUrl::fromLocalFile("/opt/x/one")};
        auto drop = [&](QWidget* target) {
            QMimeData data;
            data.setUrls(urls);
            QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
            QApplication::sendEvent(target, &enter);
            QDropEvent event(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
            QApplication::sendEvent(target, &event);
            return enter.isAccepted();
        };
        QVERIFY(drop(rig.items()->viewport()));
        QCOMPARE(rig.itemCaptions(), QStringList({"0:00:01", "0:00:02", "one", "Tool", "one"}));
        QVERIFY(rig.files.catalogue.ReadText("A", "Item4", "").ends_with(";Active"));
        drop(rig.batches()->viewport()); // the batch list takes no files
        QCOMPARE(rig.items()->topLevelItemCount(), 5);
        rig.batches()->clearSelection();
        drop(rig.items()->viewport()); // no batch selected: nothing
        QCOMPARE(rig.files.catalogue.ReadText("A", "Item5", "-"), std::string("-"));
    }

    void changesInTheTreeReloadTheShownBatch() {
        EditorRig rig("[A]\r\nID=1\r\n[B]\r\nID=2\r\n");
        fs::create_directories(rig.dir / "Shortcuts" / "1");
        fs::create_directories(rig.dir / "Shortcuts" / "2");
        QTest::qWait(150);
        // Another process adds an item to the shown batch by hand.
        korvane::TIniFile(rig.files.catalogue.FileName())
            .WriteText("A", "Item0", "File;5\\;Active");
        WriteFile(rig.dir / "Shortcuts" / "1" / "5" / "tool.lnk",
                  "[Shell Link]\nTarget=/bin/true\n");
        QTRY_COMPARE_WITH_TIMEOUT(rig.itemCaptions(), QStringList{"tool"}, 5000);
        // A change in another batch's folder reloads the shown one all the same.
        korvane::TIniFile(rig.files.catalogue.FileName())
            .WriteText("A", "Item1", "Interval;0:00:03;Active");
        WriteFile(rig.dir / "Shortcuts" / "2" / "other.txt", "");
        QTRY_COMPARE_WITH_TIMEOUT(rig.items()->topLevelItemCount(), 2, 5000);
    }

    void fillsLargeCataloguesAndBatches() {
        std::string catalogue;
        for (int i = 0; i < 1000; ++i) {
            catalogue += "[Batch " + std::to_string(i) + "]\r\nID=" + std::to_string(i) + "\r\n";
            if (i == 0) {
                for (int n = 0; n < 200; ++n) {
                    catalogue += "Item" + std::to_string(n) + "=" +
                                 (n % 2 ? "Interval;0:00:01;Active"
                                        : "File;" + std::to_string(n) + "\\;Active") +
                                 "\r\n";
                }
            }
        }
        EditorRig rig(catalogue);
        QCOMPARE(rig.batches()->count(), 1000);
        QCOMPARE(rig.items()->topLevelItemCount(), 200);
    }

  private:
    QStringList messages;
};

QTEST_MAIN(EditorWindowTest)
#include "editor_window_test.moc"

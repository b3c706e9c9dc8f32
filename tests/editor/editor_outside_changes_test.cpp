// The editor while other programs change its files, and after refused writes,
// launches and drops: the lists always mirror the files.
#include "editor/pick_list_dialog.h"
#include "editor_rig.h"
#include "gui/error_report.h"
#include "gui/icons.h"
#include "other_process.h"
#include "shell/session_autostart.h"
#include "shell/shell.h"
#include "store/catalogue_edit.h"
#include "store/clock_time.h"
#include "test_support.h"

#include <QGuiApplication>
#include <QMimeData>
#include <QPushButton>
#include <QTimer>

namespace fs = std::filesystem;
using korvane::test::EditorHands;
using korvane::test::EditorRig;
using korvane::test::ReadFile;
using korvane::test::WriteFile;

namespace {

QImage Picture(const QIcon& icon) {
    return icon.pixmap(16, 16).toImage().convertToFormat(QImage::Format_RGBA8888);
}

} // namespace

class EditorOutsideChangesTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        korvane::SetUserTimeFormat(korvane::TimeFormat{});
        korvane::SetErrorSink([this](const QString& m) { messages << m; });
        messages.clear();
    }

    // A change under Shortcuts/ while the pause dialog is open freed the row
    // the dialog's OK then wrote through.
    void noReloadUnderAnOpenDialog() {
        EditorRig rig("[A]\r\nID=1\r\nItem0=Interval;0:00:05;Active\r\n");
        fs::create_directories(rig.dir / "Shortcuts" / "1");
        // A mark on the row: a reload would replace the row by one without it
        // (a pointer could come back at the same address).
        constexpr int kMark = Qt::UserRole + 9;
        rig.items()->topLevelItem(0)->setData(0, kMark, true);
        bool markedDuring = false;
        bool madeElsewhere = false;
        rig.form->runIntervalDialog = [&](korvane::TForm3& d) {
            // Another program meanwhile: a file appears under Shortcuts/ and
            // the catalogue changes.
            madeElsewhere = korvane::test::CreateFileInAnotherProcess(rig.dir / "Shortcuts" / "1" /
                                                                      "synced.tmp");
            korvane::TIniFile(rig.files.catalogue.FileName()).WriteText("A", "Note", "x");
            QTest::qWait(400); // the watches have spoken
            markedDuring = rig.items()->topLevelItem(0) &&
                           rig.items()->topLevelItem(0)->data(0, kMark).toBool();
            d.findChild<QTimeEdit*>("DateTimePicker1")->setTime(QTime(0, 0, 9));
            return true;
        };
        EditorHands{rig}.clickItem(0);
        rig.form->UpdateActions();                    // as the idle update does
        QTest::keyClick(rig.items(), Qt::Key_Return); // Enter opens the properties
        QVERIFY(madeElsewhere);
        QVERIFY(markedDuring); // no reload under the open dialog
        QCOMPARE(rig.files.catalogue.ReadText("A", "Item0", ""),
                 std::string("Interval;0:00:09;Active"));
        QTRY_COMPARE(rig.itemCaptions(), QStringList{"0:00:09"});
        QVERIFY(messages.isEmpty());
    }

    // A launch lets events through between its items; a change under
    // Shortcuts/ meanwhile reloaded the list and freed the batch name the
    // run was reading.
    void noReloadDuringALaunch() {
        EditorRig rig("[A]\r\nID=1\r\nItem0=Interval;0:00:05;Active\r\n");
        fs::create_directories(rig.dir / "Shortcuts" / "1");
        QTest::qWait(300); // the folder's own reload is over
        constexpr int kMark = Qt::UserRole + 9;
        rig.items()->topLevelItem(0)->setData(0, kMark, true);
        bool markedDuring = false;
        std::string nameAfter;
        rig.form->launchBatch = [&](const std::string& batch) {
            QVERIFY(korvane::test::CreateFileInAnotherProcess(rig.dir / "Shortcuts" / "1" /
                                                              "synced.tmp"));
            QTest::qWait(400); // as the run's events between items
            markedDuring = rig.items()->topLevelItem(0) &&
                           rig.items()->topLevelItem(0)->data(0, kMark).toBool();
            nameAfter = batch;
        };
        EditorHands{rig}.clickItem(0);
        QTest::keyClick(rig.items(), Qt::Key_Return, Qt::ControlModifier);
        QVERIFY(markedDuring);
        QCOMPARE(nameAfter, std::string("A"));
        QTRY_VERIFY(!rig.items()->topLevelItem(0)->data(0, kMark).toBool()); // read again after
    }

    // The watch follows the selection: a change in the batch shown now
    // reloads its rows; where each watched folder costs (inotify), another
    // batch's folders are not watched at all.
    void theWatchFollowsTheShownBatch() {
        EditorRig rig("[A]\r\nID=1\r\nItem0=Interval;0:00:05;Active\r\n"
                      "[B]\r\nID=2\r\nItem0=Interval;0:00:07;Active\r\n");
        fs::create_directories(rig.dir / "Shortcuts" / "1");
        fs::create_directories(rig.dir / "Shortcuts" / "2");
        constexpr int kMark = Qt::UserRole + 9;
        EditorHands{rig}.clickBatch(rig.batches()->item(1));
        QTRY_COMPARE(rig.itemCaptions(), QStringList{"0:00:07"});
        QTest::qWait(300); // the watch is narrowed
        rig.items()->topLevelItem(0)->setData(0, kMark, true);
        if (korvane::test::kFreedesktop) {
            QVERIFY(
                korvane::test::CreateFileInAnotherProcess(rig.dir / "Shortcuts" / "1" / "a.tmp"));
            QTest::qWait(400);
            QVERIFY(rig.items()->topLevelItem(0)->data(0, kMark).toBool()); // A's: not shown
        }
        QVERIFY(korvane::test::CreateFileInAnotherProcess(rig.dir / "Shortcuts" / "2" / "b.tmp"));
        QTRY_VERIFY(!rig.items()->topLevelItem(0)->data(0, kMark).toBool()); // read again
    }

    // While the import picker is open, another program removes an entry it
    // offers: the import stops with the reason, and nothing is taken from
    // the session or added to the batch.
    void anAutostartEntryRemovedWhileThePickerIsOpen() {
        if (!korvane::test::kFreedesktop) {
            QSKIP("XDG autostart is the freedesktop desktops'");
        }
        EditorRig rig("[W]\r\nID=7\r\n");
        qputenv("XDG_CONFIG_DIRS", QByteArray::fromStdString((rig.dir / "xdg").string()));
        const fs::path user = rig.dir / "config" / "autostart";
        const fs::path sync = rig.dir / "xdg" / "autostart" / "sync.desktop";
        WriteFile(user / "mine.desktop", "[Desktop Entry]\nType=Application\nName=Mine\nExec=x\n");
        WriteFile(sync, "[Desktop Entry]\nType=Application\nName=Sync\nExec=x\n");
        bool removed = false;
        rig.form->runPickList = [&](korvane::TPickListForm& dialog) {
            // "Sync" moved first, both checked; then the other program.
            dialog.PickList->setFocus();
            for (int row : {0, 1}) {
                dialog.PickList->setCurrentRow(row);
                QTest::keyClick(dialog.PickList, Qt::Key_Space);
            }
            QTest::mouseClick(dialog.UpButton, Qt::LeftButton);
            removed = std::system(("rm -f '" + sync.string() + "'").c_str()) == 0;
            QTest::mouseClick(dialog.ConfirmButton, Qt::LeftButton);
            return dialog.result() == QDialog::Accepted;
        };
        EditorHands{rig}.clickBatch(rig.batches()->item(0));
        rig.run(rig.form->aImportAutostart);
        QVERIFY(removed);
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages[0].startsWith("Cannot copy"), qPrintable(messages[0]));
        QVERIFY(rig.itemCaptions().isEmpty());
        QVERIFY(!fs::exists(user / "sync.desktop"));
        QCOMPARE(ReadFile(user / "mine.desktop"),
                 std::string("[Desktop Entry]\nType=Application\nName=Mine\nExec=x\n"));
        QVERIFY(korvane::shell::ListTaken(rig.dir / "Taken from autostart").empty());
        qunsetenv("XDG_CONFIG_DIRS");
    }

    // Two editors on one catalogue: what the other adds or renames, this one
    // shows, keeping its own selection. (The other editor's edits are made
    // through the catalogue functions it calls: an editor's current batch is
    // one per process, so a second window here would share this one's.)
    void twoEditorsStayInStep() {
        EditorRig rig("[A]\r\nID=1\r\nItem0=Interval;0:00:05;Active\r\n[B]\r\nID=2\r\n");
        korvane::ProgramFiles otherFiles(rig.dir / "korvane");
        EditorHands hands{rig};
        hands.clickBatch(rig.batches()->item(1)); // this editor shows B
        std::mt19937 random(7);
        korvane::CreateBatch(otherFiles, "New batch", random);
        QTRY_COMPARE(rig.form->BatchCaptions(), (std::vector<std::string>{"A", "B", "New batch"}));
        QCOMPARE(rig.batches()->currentItem()->text(), QString("B"));
        QCOMPARE(korvane::CurrentBatchName(), std::string("B"));
        // Another program gives A a picture: the rows made anew show it, and
        // they can still be renamed in place.
        const QString collection = QCoreApplication::applicationDirPath() + "/Icons/korvane.ico";
        korvane::TIniFile elsewhere(rig.files.catalogue.FileName());
        elsewhere.WriteText("A", "IconFile", collection.toStdString());
        elsewhere.WriteText("A", "IconIndex", "3");
        QTRY_COMPARE(Picture(rig.batches()->item(0)->icon()),
                     Picture(korvane::ExtractIcon(collection, 3)));
        QVERIFY(rig.batches()->item(0)->flags() & Qt::ItemIsEditable);
        QCOMPARE(rig.batches()->currentItem()->text(), QString("B"));
        // The other editor renames the batch this one shows: it is gone here.
        korvane::RenameBatch(otherFiles, korvane::RefOf(otherFiles.catalogue, "B"), "Bee");
        QTRY_COMPARE(rig.form->BatchCaptions(),
                     (std::vector<std::string>{"A", "New batch", "Bee"}));
        QCOMPARE(rig.items()->topLevelItemCount(), 0);
        QVERIFY(rig.batches()->selectedItems().isEmpty());
        // Adding to a batch that is gone is refused and writes nothing.
        rig.form->UpdateActions();
        QVERIFY(!rig.form->aAddApplication->isEnabled());
        for (const auto& section : rig.files.catalogue.AllSections()) {
            QVERIFY(!rig.files.catalogue.ReadText(section, "ID", "").empty());
        }
    }

    // A refused change of a check box leaves the box as the file has it.
    void aRefusedCheckBoxShowsWhatTheFileHolds() {
        EditorRig rig("[A]\r\nID=1\r\nItem0=Interval;0:00:05;Active\r\n");
        fs::permissions(rig.files.catalogue.FileName(),
                        fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
        EditorHands{rig}.clickCheckBox(0);
        QCOMPARE(messages.size(), 1);
        QTRY_COMPARE(rig.items()->topLevelItem(0)->checkState(0), Qt::Checked);
        QCOMPARE(rig.files.catalogue.ReadText("A", "Item0", ""),
                 std::string("Interval;0:00:05;Active"));
    }

    // After a launch the keys of the list that had the focus work at once.
    void keysWorkAfterALaunch() {
        if (!korvane::test::kFreedesktop) {
            QSKIP("Wine's desktop decides activation itself; checked under openbox on X11");
        }
        EditorRig rig("[A]\r\nID=1\r\nItem0=Interval;0:00:05;Active\r\n"
                      "Item1=Interval;0:00:06;Active\r\n");
        QVERIFY(QTest::qWaitForWindowActive(rig.form.get()));
        EditorHands{rig}.clickItem(1);
        QCOMPARE(rig.selectedRow(), 1);
        QTest::keyClick(rig.items(), Qt::Key_Return, Qt::ControlModifier); // launch
        QCOMPARE(rig.launched.size(), 1u);
        QTRY_VERIFY(rig.form->isActiveWindow());
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(rig.items()));
        rig.form->UpdateActions(); // as the idle update does
        QTest::keyClick(rig.items(), Qt::Key_Up, Qt::ControlModifier);
        QCOMPARE(rig.files.catalogue.ReadText("A", "Item0", ""),
                 std::string("Interval;0:00:06;Active"));
    }

    // The "Last launch" dialog, opened and closed with Escape as a person
    // does: the editor is active again, with the keys of the list it had.
    void keysWorkAfterTheLastLaunchDialog() {
        if (QGuiApplication::platformName() != QLatin1String("xcb")) {
            QSKIP("activation needs a window manager (scripts/with-openbox.sh)");
        }
        EditorRig rig("[A]\r\nID=1\r\nItem0=Interval;0:00:05;Active\r\n"
                      "Item1=Interval;0:00:06;Active\r\n");
        QVERIFY(QTest::qWaitForWindowActive(rig.form.get()));
        EditorHands{rig}.clickItem(1);
        QString title;
        QTimer closer;
        closer.setInterval(50);
        QObject::connect(&closer, &QTimer::timeout, [&] {
            if (auto* modal = QApplication::activeModalWidget(); modal && modal != rig.form.get()) {
                title = modal->windowTitle();
                QTest::keyClick(modal, Qt::Key_Escape);
            }
        });
        closer.start();
        rig.run(rig.form->aLastLaunch);
        closer.stop();
        QCOMPARE(title, QStringLiteral("Last launch of \"A\""));
        QTRY_VERIFY(rig.form->isActiveWindow());
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(rig.items()));
        rig.form->UpdateActions(); // as the idle update does
        QTest::keyClick(rig.items(), Qt::Key_Up, Qt::ControlModifier);
        QCOMPARE(rig.files.catalogue.ReadText("A", "Item0", ""),
                 std::string("Interval;0:00:06;Active"));
    }

    // The new row stays selected when its folder makes the watch reload, and
    // so does any row across an outside change.
    void theSelectedItemSurvivesReloads() {
        EditorRig rig("[A]\r\nID=1\r\nItem0=Interval;0:00:05;Active\r\n");
        WriteFile(rig.dir / "tools" / "tool", "#!/bin/sh\n");
        rig.picked = QString::fromStdString((rig.dir / "tools" / "tool").string());
        EditorHands{rig}.clickTool(rig.form->aAddApplication);
        QCOMPARE(rig.selectedRow(), 1);
        QTest::qWait(400); // the new folder's reload
        QCOMPARE(rig.selectedRow(), 1);
        EditorHands{rig}.clickItem(0);
        WriteFile(rig.dir / "Shortcuts" / "1" / "other.txt", "");
        korvane::TIniFile(rig.files.catalogue.FileName())
            .WriteText("A", "Item2", "Interval;0:00:01;Active");
        QTRY_COMPARE(rig.items()->topLevelItemCount(), 3);
        QCOMPARE(rig.selectedRow(), 0);
    }

    void rowsShowTheIconALinkNames() {
        if (!korvane::test::kFreedesktop) {
            QSKIP("the links here are freedesktop key files");
        }
        EditorRig rig("[A]\r\nID=1\r\nItem0=File;3\\;Active\r\n");
        const QString collection = QCoreApplication::applicationDirPath() + "/Icons/korvane.ico";
        WriteFile(rig.dir / "Shortcuts" / "1" / "3" / "sh.lnk",
                  "[Shell Link]\nTarget=/bin/sh\nIconFile=" + collection.toStdString() +
                      "\nIconIndex=3\n");
        rig.form->Reload();
        const QImage shown = Picture(rig.items()->topLevelItem(0)->icon(0));
        QCOMPARE(shown, Picture(korvane::ExtractIcon(collection, 3)));
        QVERIFY(shown != Picture(korvane::ExtractIcon(collection, 0)));
    }

    // A "/" in a batch name cannot be in a file name: the shortcut still comes.
    void shortcutsForNamesNoFileNameCanHold() {
        if (!korvane::test::kFreedesktop) {
            QSKIP("the shortcuts here are read as desktop entries");
        }
        EditorRig rig("[Work/Play]\r\nID=1\r\n");
        EditorHands{rig}.clickTool(rig.form->aMakeShortcut);
        QVERIFY(messages.isEmpty());
        const fs::path link = korvane::test::DesktopFile("Work-Play");
        QVERIFY(fs::exists(link));
        QVERIFY(ReadFile(link).find("Work/Play") != std::string::npos);
    }

    // The desktop shortcut and the default batch follow a rename.
    void aRenameTakesItsShortcutAndTheDefaultAlong() {
        if (!korvane::test::kFreedesktop) {
            QSKIP("the shortcuts here are read as desktop entries");
        }
        EditorRig rig("[Work]\r\nID=1\r\n");
        rig.files.settings.WriteText("Basic", "DefaultBatch", "work");
        EditorHands hands{rig};
        hands.clickTool(rig.form->aMakeShortcut);
        QVERIFY(fs::exists(korvane::test::DesktopFile("Work")));
        hands.typeBatchName("Play", true);
        QCOMPARE(rig.form->BatchCaptions(), std::vector<std::string>{"Play"});
        QCOMPARE(rig.files.settings.ReadText("Basic", "DefaultBatch", ""), std::string("Play"));
        QVERIFY(!fs::exists(korvane::test::DesktopFile("Work")));
        const std::string entry = ReadFile(korvane::test::DesktopFile("Play"));
        QVERIFY(entry.find("Play") != std::string::npos);
    }

    // A file manager drags a file whose name is not UTF-8: the link keeps
    // the name byte for byte, and the row names it readably.
    void aDroppedNameThatIsNotUtf8IsKept() {
        if (!korvane::test::kFreedesktop) {
            QSKIP("file names that are not UTF-8 exist only on POSIX systems");
        }
        EditorRig rig("[A]\r\nID=1\r\n");
        const fs::path odd = rig.dir / "tools" / fs::path(std::string("caf\xe9"));
        WriteFile(odd, "#!/bin/sh\n");
        QMimeData data;
        data.setData("text/uri-list",
                     "file://" + QByteArray::fromStdString(odd.string()).toPercentEncoding("/") +
                         "\r\n");
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(rig.items()->viewport(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(rig.items()->viewport(), &drop);
        QCOMPARE(rig.items()->topLevelItemCount(), 1);
        const std::string entry = rig.files.catalogue.ReadText("A", "Item0", "");
        const fs::path folder = rig.dir / "Shortcuts" / "1" / entry.substr(5, entry.find('\\') - 5);
        fs::path link;
        for (const auto& e : fs::directory_iterator(folder)) {
            link = e.path();
        }
        QCOMPARE(korvane::shell::ReadLinkTarget(link), odd.string());
        QCOMPARE(rig.itemCaptions(),
                 QStringList{QString::fromUtf8("caf\u00e9 (invalid encoding)")});
        EditorHands{rig}.clickItem(0); // its properties open on the link itself
        rig.run(rig.form->aFileProperties);
        QCOMPARE(rig.properties, std::vector<fs::path>{link});
    }

  private:
    QStringList messages;
};

QTEST_MAIN(EditorOutsideChangesTest)
#include "editor_outside_changes_test.moc"

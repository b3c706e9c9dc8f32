#include "gui/error_report.h"
#include "editor/options_dialog.h"
#include "store/batch_edit.h"
#include "shell/shell.h"
#include "store/clock_time.h"
#include "store/utf8.h"
#include "test_support.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QSlider>
#include <QTimeEdit>
#include <QtTest>

using korvane::TOptionsForm;
using korvane::test::ReadFile;
using korvane::test::TempDir;
using korvane::test::WriteFile;

namespace {

struct OptionsRig {
    OptionsRig() : files(dir / "prog dir" / "korvane") {
        // The autostart entry lives in the user's configuration (on Windows the
        // registry of Wine's throw-away prefix): every test starts without one.
        qputenv("XDG_CONFIG_HOME",
                QByteArray::fromStdString(korvane::utf8::FromPath(dir / "config")));
        korvane::shell::RemoveAutostart();
        std::filesystem::create_directories(dir / "prog dir");
        dialog = std::make_unique<TOptionsForm>(files, [this] {
            std::vector<korvane::BatchRef> batches;
            for (const std::string& caption : captions) {
                batches.push_back(korvane::RefOf(files.catalogue, caption));
            }
            return batches;
        });
    }
    template <class T> T* find(const char* name) { return dialog->findChild<T*>(name); }
    void show() {
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
    }
    void save() { QTest::mouseClick(find<QPushButton>("Button1"), Qt::LeftButton); }
    static bool autostartIsSet() { return !korvane::shell::ReadAutostartCommand().empty(); }
    QString executable() const {
        return QString::fromStdString(
            korvane::utf8::FromPath(std::filesystem::path(files.executable).make_preferred()));
    }

    TempDir dir;
    korvane::ProgramFiles files;
    std::vector<std::string> captions{"Work", "Hidden", "Weekend"};
    void WriteBatches() {
        WriteFile(dir / "prog dir" / "batches.lst",
                  "[Work]\r\nID=1\r\n[Hidden]\r\nID=2\r\n[Weekend]\r\nID=3\r\n");
    }
    std::unique_ptr<TOptionsForm> dialog;
};

} // namespace

class OptionsDialogTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        korvane::SetUserTimeFormat(korvane::TimeFormat{});
        korvane::SetErrorSink([this](const QString& m) { errors << m; });
        errors.clear();
    }

    void showsDefaultsWithoutAnyFile() {
        OptionsRig rig;
        rig.show();
        QVERIFY(!rig.find<QCheckBox>("TransCheck")->isChecked());
        QCOMPARE(rig.find<QSlider>("TransVal")->value(), 255);
        QVERIFY(!rig.find<QSlider>("TransVal")->isEnabled());
        QVERIFY(!rig.find<QCheckBox>("StartupCheck")->isChecked());
        // In this platform's words: "at logon", "at the Windows startup".
        QCOMPARE(rig.find<QCheckBox>("StartupCheck")->text(),
                 QString::fromUtf8(korvane::shell::kAutostartCaption)
                     .replace("menu", "&menu")); // Alt+M
        QCOMPARE(rig.find<QCheckBox>("StartupCheck")->text().contains("Windows"),
                 korvane::test::kFreedesktop == false);
        QVERIFY(!rig.find<QCheckBox>("DefaultStartCheck")->isChecked());
        QVERIFY(!rig.find<QTimeEdit>("DefaultStartInterval")->isEnabled());
        auto* combo = rig.find<QComboBox>("BatchCombo");
        QCOMPARE(combo->count(), 3);
        QCOMPARE(combo->currentText(), QString("Work"));
        QVERIFY(!std::filesystem::exists(rig.files.layoutFile));
        QVERIFY(!std::filesystem::exists(rig.files.settings.FileName()));
        // KORVANE_SCREENSHOTS=<folder> keeps a picture of the dialog to look at.
        if (const QString shots = qEnvironmentVariable("KORVANE_SCREENSHOTS"); !shots.isEmpty()) {
            rig.dialog->grab().save(shots + "/options-dialog.png");
        }
    }

    void savesEverySettingWhereTheMenuReadsIt() {
        OptionsRig rig;
        rig.WriteBatches();
        WriteFile(rig.files.settings.FileName(), "[Basic]\r\nDefaultBatch=weekend\r\n");
        rig.show();
        auto* combo = rig.find<QComboBox>("BatchCombo");
        QCOMPARE(combo->currentText(), QString("Weekend"));
        // Picked by the user, with the keys: Work, then back to Weekend.
        combo->setFocus();
        QTest::keyClick(combo, Qt::Key_Home);
        QTest::keyClick(combo, Qt::Key_End);
        QCOMPARE(combo->currentText(), QString("Weekend"));
        rig.find<QCheckBox>("StartupCheck")->setChecked(true);
        rig.find<QCheckBox>("DefaultStartCheck")->click();
        QVERIFY(rig.find<QTimeEdit>("DefaultStartInterval")->isEnabled());
        rig.find<QTimeEdit>("DefaultStartInterval")->setTime(QTime(0, 1, 30));
        rig.find<QSlider>("TransVal")->setValue(128); // saved though transparency is off
        // Notifications of launches nobody watches are on until switched off.
        QVERIFY(rig.find<QCheckBox>("NotifyCheck")->isChecked());
        rig.find<QCheckBox>("NotifyCheck")->click();
        QSignalSpy accepted(rig.dialog.get(), &QDialog::accepted);
        rig.save();
        QCOMPARE(accepted.count(), 1);
        QCOMPARE(QString::fromStdString(ReadFile(rig.files.settings.FileName())),
                 QString("[Basic]\r\nDefaultBatch=Weekend\r\nDefaultStart=1\r\n"
                         "DefaultStartInterval=0:01:30\r\nNotifyProblems=0\r\n"));
        korvane::TIniFile layout(rig.files.layoutFile);
        QCOMPARE(layout.ReadText("Form2", "Form2.AlphaBlend", ""), std::string("0"));
        QCOMPARE(layout.ReadText("Form2", "Form2.AlphaBlendValue", ""), std::string("128"));
        QVERIFY(errors.isEmpty());

        // The autostart entry runs this executable's startup menu, path quoted.
        QCOMPARE(QString::fromStdString(korvane::shell::ReadAutostartCommand()),
                 "\"" + rig.executable() + "\" -startup");
        rig.dialog->hide();
        rig.show();
        QVERIFY(rig.find<QCheckBox>("StartupCheck")->isChecked());
        rig.find<QCheckBox>("StartupCheck")->setChecked(false);
        rig.save();
        QVERIFY(!rig.autostartIsSet());
    }

    void recognisesTheAutostartEntryByItsCommand_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("checked");
        QTest::newRow("same") << "\"%1\" -startup" << true;
        QTest::newRow("otherLetterCase") << "\"%1\" -STARTUP" << true;
        QTest::newRow("otherArguments") << "\"%1\" -startup now" << false;
        QTest::newRow("otherProgram") << "\"/usr/bin/other\" -startup" << false;
        QTest::newRow("unquoted") << "%1 -startup" << false;
    }
    void recognisesTheAutostartEntryByItsCommand() {
        QFETCH(QString, command);
        QFETCH(bool, checked);
        OptionsRig rig;
        QVERIFY(korvane::shell::WriteAutostartCommand(command.arg(rig.executable()).toStdString()));
        rig.show();
        QCOMPARE(rig.find<QCheckBox>("StartupCheck")->isChecked(), checked);
    }

    void cancelWritesNothing() {
        OptionsRig rig;
        rig.show();
        rig.find<QCheckBox>("StartupCheck")->setChecked(true);
        rig.find<QCheckBox>("TransCheck")->setChecked(true);
        QTest::mouseClick(rig.find<QPushButton>("Button2"), Qt::LeftButton);
        QVERIFY(!rig.autostartIsSet());
        QVERIFY(!std::filesystem::exists(rig.files.layoutFile));
        QVERIFY(!std::filesystem::exists(rig.files.settings.FileName()));
    }

    // Only a default batch the user picks is written: one shown as none
    // because it is gone (renamed by another program, say) stays as it is, and
    // one that goes while the dialog is open is refused, not written.
    void onlyADefaultBatchTheUserPicksIsWritten_data() {
        QTest::addColumn<QStringList>("captions");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("pick");
        QTest::addColumn<bool>("goneMeanwhile");
        QTest::addColumn<QString>("after");
        QTest::addColumn<int>("errorCount");
        QTest::newRow("noBatches") << QStringList{} << "Gone" << false << false << "Gone" << 0;
        QTest::newRow("goneUntouched")
            << QStringList{"Work", "Hidden", "Weekend"} << "Morning" << false << false << "Morning"
            << 0;
        QTest::newRow("shownUntouched")
            << QStringList{"Work", "Hidden", "Weekend"} << "hidden" << false << false << "hidden"
            << 0;
        QTest::newRow("picked") << QStringList{"Work", "Hidden", "Weekend"} << "Morning" << true
                                << false << "Weekend" << 0;
        QTest::newRow("pickedButGone") << QStringList{"Work", "Hidden", "Weekend"} << "Morning"
                                       << true << true << "Morning" << 1;
    }
    void onlyADefaultBatchTheUserPicksIsWritten() {
        QFETCH(QStringList, captions);
        QFETCH(QString, stored);
        QFETCH(bool, pick);
        QFETCH(bool, goneMeanwhile);
        QFETCH(QString, after);
        QFETCH(int, errorCount);
        OptionsRig rig;
        rig.WriteBatches();
        rig.captions.clear();
        for (const QString& caption : captions) {
            rig.captions.push_back(caption.toStdString());
        }
        WriteFile(rig.files.settings.FileName(),
                  "[Basic]\r\nDefaultBatch=" + stored.toStdString() + "\r\nDefaultStart=1\r\n");
        rig.show();
        auto* combo = rig.find<QComboBox>("BatchCombo");
        if (pick) {
            combo->setFocus();
            QTest::keyClick(combo, Qt::Key_End);
        }
        if (goneMeanwhile) {
            WriteFile(rig.dir / "prog dir" / "batches.lst", "[Work]\r\nID=1\r\n");
        }
        rig.save();
        QCOMPARE(QString::fromStdString(rig.files.settings.ReadText("Basic", "DefaultBatch", "-")),
                 after);
        QCOMPARE(errors.size(), errorCount);
    }

    void aFailedWriteIsReportedAndTheDialogStays() {
        OptionsRig rig;
        std::filesystem::create_directories(rig.files.layoutFile); // a folder in the file's place
        rig.show();
        QSignalSpy accepted(rig.dialog.get(), &QDialog::accepted);
        rig.save();
        QCOMPARE(errors, QStringList{QString::fromStdString("Unable to write to " +
                                                            rig.files.layoutFile.string() + ".")});
        QCOMPARE(accepted.count(), 0);
        QVERIFY(rig.dialog->isVisible());
        QVERIFY(!std::filesystem::exists(rig.files.settings.FileName()));
    }

    void aFailedAutostartWriteStopsBeforeTheSettings() {
        OptionsRig rig;
        const std::filesystem::path entry = korvane::shell::AutostartFile();
        if (!entry.has_root_directory()) {
            QSKIP("the registry's Run value cannot be made unwritable here");
        }
        std::filesystem::create_directories(entry); // a folder in the entry's place
        rig.show();
        rig.find<QCheckBox>("StartupCheck")->setChecked(true);
        QSignalSpy accepted(rig.dialog.get(), &QDialog::accepted);
        rig.save();
        QCOMPARE(errors, QStringList{QStringLiteral("Failed to set data for 'Korvane'")});
        QCOMPARE(accepted.count(), 0);
        QVERIFY(!std::filesystem::exists(rig.files.settings.FileName()));
    }

  private:
    QStringList errors;
};

QTEST_MAIN(OptionsDialogTest)
#include "options_dialog_test.moc"

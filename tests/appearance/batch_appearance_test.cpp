#include "appearance/batch_appearance.h"
#include "gui/error_report.h"
#include "gui/icons.h"
#include "store/catalogue_edit.h"
#include "store/errors.h"
#include "test_support.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <functional>

using korvane::BatchListLink;
using korvane::TBatchPropertiesForm;
using korvane::TForm5;
using korvane::test::ReadFile;
using korvane::test::TempDir;
using korvane::test::WriteFile;

namespace {

// Both dialogs on a catalogue, with the editor's lists played by the test.
struct AppearanceRig {
    explicit AppearanceRig(const std::string& catalogue, const std::string& batch)
        : files(dir / "korvane") {
        WriteFile(dir / "batches.lst", catalogue);
        korvane::SetCurrentBatch(korvane::RefOf(files.catalogue, batch));
        BatchListLink link;
        link.hasCurrentRow = [] { return !korvane::CurrentBatchName().empty(); };
        link.currentRowIcon = [] { return korvane::DefaultBatchIcon(); };
        link.rename = [this](const korvane::BatchRef& batch, const std::string& name) {
            renamed.push_back(name);
            korvane::CurrentBatchName() = name;
            return korvane::RenameBatch(files, batch, name);
        };
        link.setCurrentRowIcon = [this](const QIcon& icon) { rowIcons.push_back(icon.isNull()); };
        link.applicationItems = [this] { return items; };
        chooser = std::make_unique<TForm5>(files, link);
        properties = std::make_unique<TBatchPropertiesForm>(files, link, *chooser);
    }
    template <class T> T* inChooser(const char* n) { return chooser->findChild<T*>(n); }
    template <class T> T* inProperties(const char* n) { return properties->findChild<T*>(n); }
    QListWidget* icons() { return inChooser<QListWidget>("ListView1"); }

    TempDir dir;
    korvane::ProgramFiles files;
    std::unique_ptr<TForm5> chooser;
    std::unique_ptr<TBatchPropertiesForm> properties;
    std::vector<BatchListLink::Item> items;
    std::vector<std::string> renamed;
    std::vector<bool> rowIcons; // true: the default icon
};

} // namespace

class BatchAppearanceTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        korvane::SetErrorSink([this](const QString& m) { errors << m; });
        errors.clear();
    }

    void savesAllThreeKeysAndOnlyThem() {
        AppearanceRig rig("[Work]\r\nID=1\r\nItem0=Interval;0:00:01;Active\r\n[Other]\r\nID=2\r\n",
                          "Work");
        rig.properties->show();
        QVERIFY(rig.inProperties<QCheckBox>("ShowInStartupCheck")->isChecked());
        QCOMPARE(rig.inProperties<QLineEdit>("NameEdit")->text(), QString("Work"));
        QTest::mouseClick(rig.inProperties<QPushButton>("Button1"), Qt::LeftButton);
        QCOMPARE(
            ReadFile(rig.dir / "batches.lst"),
            std::string("[Work]\r\nID=1\r\nItem0=Interval;0:00:01;Active\r\nShowInStartup=1\r\n"
                        "IconFile=\r\nIconIndex=0\r\n[Other]\r\nID=2\r\n"));
        QVERIFY(rig.renamed.empty());
        QCOMPARE(rig.rowIcons, std::vector<bool>{true});
    }

    void renamesHidesAndCancels() {
        AppearanceRig rig("[work]\r\nID=1\r\n", "work");
        rig.properties->show();
        rig.inProperties<QLineEdit>("NameEdit")->setText("Work");
        rig.inProperties<QCheckBox>("ShowInStartupCheck")->setChecked(false);
        QTest::mouseClick(rig.inProperties<QPushButton>("Button1"), Qt::LeftButton);
        QCOMPARE(rig.renamed, std::vector<std::string>{"Work"}); // letter case alone counts
        QCOMPARE(rig.files.catalogue.ReadText("Work", "ShowInStartup", ""), std::string("0"));

        const std::string before = ReadFile(rig.dir / "batches.lst");
        rig.properties->hide();
        rig.properties->show();
        rig.inProperties<QCheckBox>("ShowInStartupCheck")->setChecked(true);
        QTest::mouseClick(rig.inProperties<QPushButton>("Button2"), Qt::LeftButton);
        QCOMPARE(ReadFile(rig.dir / "batches.lst"), before);
    }

    void chooserListsThePreselectedFileAndTakesTheChoice_data() {
        QTest::addColumn<int>("storedIndex");
        QTest::addColumn<QString>("selected");
        QTest::newRow("five") << 5 << "5";
        QTest::newRow("pastTheEnd") << 99 << "0";
    }
    void chooserListsThePreselectedFileAndTakesTheChoice() {
        QFETCH(int, storedIndex);
        QFETCH(QString, selected);
        const std::string library = korvane::DefaultIconLibrary().toStdString();
        AppearanceRig rig("[W]\r\nID=1\r\nIconFile=" + library +
                              "\r\nIconIndex=" + std::to_string(storedIndex) + "\r\n",
                          "W");
        rig.properties->show(); // reads the batch's icon
        // "Change icon" opens the chooser on it; the choice is made there.
        int listed = 0;
        QString preselected;
        std::function<void()> choose = [&] {
            if (QApplication::activeModalWidget() != rig.chooser.get()) {
                QTimer::singleShot(10, choose); // not up yet
                return;
            }
            listed = rig.icons()->count();
            preselected = rig.icons()->currentItem()->text();
            rig.icons()->setCurrentRow(3);
            QTest::mouseClick(rig.inChooser<QPushButton>("Button2"), Qt::LeftButton);
        };
        QTimer::singleShot(0, choose);
        QTest::mouseClick(rig.inProperties<QPushButton>("Button3"), Qt::LeftButton);
        QCOMPARE(listed, 16);
        QCOMPARE(preselected, selected);
        // The collection is stored by its place in the program's data
        // folder, so that moving the program keeps the icon.
        QCOMPARE(rig.properties->EditedIcon().file, std::string("Icons/korvane.ico"));
        QCOMPARE(rig.properties->EditedIcon().index, 3);
        QTest::mouseClick(rig.inProperties<QPushButton>("Button1"), Qt::LeftButton);
        QCOMPARE(rig.files.catalogue.ReadText("W", "IconFile", ""),
                 std::string("Icons/korvane.ico"));
        QCOMPARE(rig.files.catalogue.ReadText("W", "IconIndex", ""), std::string("3"));
        QCOMPARE(rig.rowIcons, std::vector<bool>{false});
    }

    void chooserOffersDefaultAndTheApplicationItems() {
        AppearanceRig rig(
            "[W]\r\nID=1\r\nItem0=Interval;0:00:01;Active\r\nItem1=File;4\\;Active\r\n", "W");
        WriteFile(rig.dir / "Shortcuts" / "1" / "4" / "tool.lnk",
                  "[Shell Link]\nTarget=/bin/true\nIconFile=" +
                      korvane::DefaultIconLibrary().toStdString() + "\n");
        rig.items = {{"tool", QIcon(), 1}};
        rig.chooser->Preselect({});
        rig.chooser->show();
        QCOMPARE(rig.inChooser<QLineEdit>("PathEdit")->text(), korvane::DefaultIconLibrary());
        auto* combo = rig.inChooser<QComboBox>("IconsCombo");
        QCOMPARE(combo->count(), 2);
        QCOMPARE(combo->itemText(0), QString("Default"));
        QCOMPARE(combo->currentIndex(), -1);
        rig.chooser->IconsComboChange(1); // the link's own icon source
        QCOMPARE(rig.icons()->count(), 16);
        rig.chooser->IconsComboChange(0);
        QCOMPARE(rig.inChooser<QLineEdit>("PathEdit")->text(), QString("Default"));
        QTest::mouseClick(rig.inChooser<QPushButton>("Button2"), Qt::LeftButton);
        QCOMPARE(rig.chooser->Choice().file, std::string());
        QCOMPARE(rig.chooser->Choice().index, 0);
        if (const QString shots = qEnvironmentVariable("KORVANE_SCREENSHOTS"); !shots.isEmpty()) {
            rig.chooser->show();
            rig.chooser->grab().save(shots + "/icon-chooser.png");
            rig.properties->show();
            rig.properties->grab().save(shots + "/batch-properties.png");
        }
    }

    void aRefusedRenameIsReportedAndNothingIsWritten() {
        AppearanceRig rig("[W]\r\nID=1\r\n", "W");
        // The editor's rename refuses such a name; this stand-in throws as it does.
        BatchListLink link;
        link.hasCurrentRow = [] { return true; };
        link.rename = [](const korvane::BatchRef&, const std::string&) -> std::string {
            throw korvane::Error("A batch needs a name");
        };
        link.setCurrentRowIcon = [](const QIcon&) {};
        TBatchPropertiesForm dialog(rig.files, link, *rig.chooser);
        dialog.show();
        dialog.findChild<QLineEdit*>("NameEdit")->setText("");
        QTest::mouseClick(dialog.findChild<QPushButton*>("Button1"), Qt::LeftButton);
        QCOMPARE(errors, QStringList{"A batch needs a name."});
        QCOMPARE(ReadFile(rig.dir / "batches.lst"), std::string("[W]\r\nID=1\r\n"));
        QVERIFY(dialog.isVisible());
    }

  private:
    QStringList errors;
};

QTEST_MAIN(BatchAppearanceTest)
#include "batch_appearance_test.moc"

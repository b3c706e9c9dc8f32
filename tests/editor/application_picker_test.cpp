// "Add application": the desktop's applications found by typing and chosen
// with clicks and keys, and what the editor makes of them.
#include "editor/application_picker.h"
#include "editor_rig.h"
#include "gui/error_report.h"
#include "test_support.h"

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

namespace fs = std::filesystem;
using korvane::ApplicationPicker;
using korvane::shell::InstalledApplication;
using korvane::test::EditorRig;
using korvane::test::ReadFile;
using korvane::test::TempDir;
using korvane::test::WriteFile;

namespace {

// Three installed applications, their entries in a folder of the test.
std::vector<InstalledApplication> Installed(const fs::path& folder) {
    const struct {
        const char* id;
        const char* name;
        const char* comment;
        const char* keywords;
    } entries[] = {
        {"debian-xterm.desktop", "XTerm", "standard terminal emulator", "shell;prompt;"},
        {"org.xfce.mousepad.desktop", "Mousepad", "Simple Text Editor", "text;editor;"},
        {"python3.11.desktop", "Python (v3.11)", "Python Interpreter", "python;"},
    };
    std::vector<InstalledApplication> apps;
    for (const auto& e : entries) {
        const fs::path file = folder / e.id;
        WriteFile(file, std::string("[Desktop Entry]\nType=Application\nName=") + e.name +
                            "\nComment=" + e.comment + "\nExec=/bin/true\n");
        apps.push_back({.id = e.id,
                        .file = file,
                        .name = e.name,
                        .comment = e.comment,
                        .keywords = e.keywords});
    }
    return apps;
}

QStringList Visible(QListWidget* list) {
    QStringList names;
    for (int i = 0; i < list->count(); ++i) {
        if (!list->item(i)->isHidden()) {
            names << list->item(i)->text();
        }
    }
    return names;
}

void ClickRow(QListWidget* list, const QString& name, Qt::KeyboardModifiers modifiers = {}) {
    const auto found = list->findItems(name, Qt::MatchExactly);
    QVERIFY(found.size() == 1);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers,
                      list->visualItemRect(found.front()).center());
}

QString Path(const fs::path& file) {
    return QString::fromStdString(file.string());
}

} // namespace

class ApplicationPickerTest : public QObject {
    Q_OBJECT

  private slots:
    void typingFindsAndEnterAdds() {
        TempDir dir;
        ApplicationPicker picker(Installed(dir.path()), nullptr);
        picker.show();
        auto* search = picker.findChild<QLineEdit*>("SearchEdit");
        auto* list = picker.findChild<QListWidget*>("ApplicationList");
        QCOMPARE(Visible(list), QStringList({"XTerm", "Mousepad", "Python (v3.11)"}));
        QVERIFY(!picker.findChild<QPushButton*>("AddButton")->isEnabled());
        QTest::keyClicks(search, "EDIT");
        QCOMPARE(Visible(list), QStringList({"Mousepad"})); // found by its comment
        QTest::keyClick(search, Qt::Key_Backspace);
        QTest::keyClicks(search, "XT");
        QCOMPARE(Visible(list), QStringList());
        search->clear();
        QTest::keyClicks(search, "prompt"); // a keyword
        QCOMPARE(Visible(list), QStringList({"XTerm"}));
        QTest::keyClick(search, Qt::Key_Return);
        QCOMPARE(picker.result(), int(QDialog::Accepted));
        QCOMPARE(picker.Chosen(), QStringList({Path(dir / "debian-xterm.desktop")}));
    }

    // The name typed in full wins over names that only contain it.
    void theWholeNameIsTheBestMatch() {
        TempDir dir;
        auto apps = Installed(dir.path());
        WriteFile(dir / "debian-uxterm.desktop", "[Desktop Entry]\nType=Application\n");
        apps.insert(apps.begin(), {.id = "debian-uxterm.desktop",
                                   .file = dir / "debian-uxterm.desktop",
                                   .name = "UXTerm"});
        ApplicationPicker picker(apps, nullptr);
        picker.show();
        auto* search = picker.findChild<QLineEdit*>("SearchEdit");
        QTest::keyClicks(search, "xterm");
        QCOMPARE(Visible(picker.findChild<QListWidget*>("ApplicationList")),
                 QStringList({"UXTerm", "XTerm"}));
        QTest::keyClick(search, Qt::Key_Return);
        QCOMPARE(picker.Chosen(), QStringList({Path(dir / "debian-xterm.desktop")}));
    }

    void severalAtOnceWithTheMouse() {
        TempDir dir;
        ApplicationPicker picker(Installed(dir.path()), nullptr);
        picker.show();
        auto* list = picker.findChild<QListWidget*>("ApplicationList");
        ClickRow(list, "Python (v3.11)");
        ClickRow(list, "XTerm", Qt::ControlModifier);
        QTest::mouseClick(picker.findChild<QPushButton*>("AddButton"), Qt::LeftButton);
        QCOMPARE(picker.result(), int(QDialog::Accepted));
        // In the menu's order, whatever the order of the clicks.
        QCOMPARE(picker.Chosen(), QStringList({Path(dir / "debian-xterm.desktop"),
                                               Path(dir / "python3.11.desktop")}));
    }

    void arrowKeysLeaveTheSearchForTheList() {
        TempDir dir;
        ApplicationPicker picker(Installed(dir.path()), nullptr);
        picker.show();
        QApplication::setActiveWindow(&picker);
        auto* search = picker.findChild<QLineEdit*>("SearchEdit");
        auto* list = picker.findChild<QListWidget*>("ApplicationList");
        QVERIFY(search->hasFocus());
        QTest::keyClick(search, Qt::Key_Down);
        QVERIFY(list->hasFocus());
        QCOMPARE(list->currentItem()->text(), QString("XTerm"));
        QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(list->currentItem()->text(), QString("Mousepad"));
        QTest::keyClick(list, Qt::Key_Return);
        QCOMPARE(picker.Chosen(), QStringList({Path(dir / "org.xfce.mousepad.desktop")}));
    }

    void browseAndCancel() {
        TempDir dir;
        {
            ApplicationPicker picker(Installed(dir.path()), nullptr);
            picker.browse = [] { return QStringList{"/opt/tool", "/opt/other"}; };
            picker.show();
            QTest::mouseClick(picker.findChild<QPushButton*>("BrowseButton"), Qt::LeftButton);
            QCOMPARE(picker.result(), int(QDialog::Accepted));
            QCOMPARE(picker.Chosen(), QStringList({"/opt/tool", "/opt/other"}));
        }
        {
            ApplicationPicker picker(Installed(dir.path()), nullptr);
            picker.browse = [] { return QStringList(); }; // the file dialog was cancelled
            picker.show();
            QTest::mouseClick(picker.findChild<QPushButton*>("BrowseButton"), Qt::LeftButton);
            QVERIFY(picker.isVisible());
            QTest::mouseClick(picker.findChild<QPushButton*>("CancelButton"), Qt::LeftButton);
            QCOMPARE(picker.result(), int(QDialog::Rejected));
            QVERIFY(picker.Chosen().isEmpty());
        }
    }

    // Through the editor: each chosen entry becomes an item holding a copy
    // of it, shown by its name; the installed entry is left alone.
    void theEditorAddsCopiesOfTheChosenEntries() {
        korvane::SetErrorSink([](const QString& m) { QFAIL(qPrintable(m)); });
        EditorRig rig("[Work]\r\nID=1\r\n");
        const fs::path installed = rig.dir / "applications";
        const auto apps = Installed(installed);
        rig.form->chooseApplications = [&] {
            ApplicationPicker picker(apps, rig.form.get());
            QTimer::singleShot(0, &picker, [&] {
                ClickRow(picker.findChild<QListWidget*>("ApplicationList"), "Mousepad");
                ClickRow(picker.findChild<QListWidget*>("ApplicationList"), "XTerm",
                         Qt::ControlModifier);
                QTest::mouseClick(picker.findChild<QPushButton*>("AddButton"), Qt::LeftButton);
            });
            return picker.exec() == QDialog::Accepted ? picker.Chosen() : QStringList();
        };
        rig.run(rig.form->aAddApplication);
        QCOMPARE(rig.itemCaptions(),
                 korvane::test::kFreedesktop
                     ? QStringList({"XTerm", "Mousepad"})
                     : QStringList({"debian-xterm", "org.xfce.mousepad"})); // file names there
        int copies = 0;
        for (const auto& e : fs::recursive_directory_iterator(rig.dir / "Shortcuts")) {
            if (e.path().extension() == ".desktop") {
                QCOMPARE(ReadFile(e.path()), ReadFile(installed / e.path().filename()));
                ++copies;
            }
        }
        QCOMPARE(copies, 2);
        QVERIFY(fs::exists(installed / "debian-xterm.desktop"));
        korvane::SetErrorSink({});
    }
};

QTEST_MAIN(ApplicationPickerTest)
#include "application_picker_test.moc"

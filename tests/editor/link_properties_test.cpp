#include "editor/link_properties.h"
#include "gui/error_report.h"
#include "shell/shell.h"
#include "test_support.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

namespace fs = std::filesystem;
using korvane::TLinkPropertiesForm;
using korvane::test::ReadFile;
using korvane::test::TempDir;
using korvane::test::WaitFor;
using korvane::test::WriteFile;

namespace {

struct SheetRig {
    explicit SheetRig(const fs::path& file) : sheet(file) {
        sheet.chooseIcon = [this](std::string& icon, int& index) {
            icon = pickedIcon;
            index = 2;
            return true;
        };
        sheet.openFolder = [this](const fs::path& folder) { opened.push_back(folder); };
        sheet.show();
    }
    template <class T> T* find(const char* name) { return sheet.findChild<T*>(name); }
    // Types text into a field as a person does: select all, type over it.
    void type(const char* field, const QString& text) {
        auto* edit = find<QLineEdit>(field);
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        for (const QChar c : text) {
            QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(c), {});
        }
    }
    void click(const char* button) { QTest::mouseClick(find<QPushButton>(button), Qt::LeftButton); }

    TLinkPropertiesForm sheet;
    std::string pickedIcon;
    std::vector<fs::path> opened;
};

} // namespace

class LinkPropertiesTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        korvane::SetErrorSink([this](const QString& m) { messages << m; });
        messages.clear();
    }

    void editsEveryFieldOfALinkAndKeepsTheRest() {
        TempDir dir;
        fs::create_directories(dir / "work");
        const fs::path file = dir / "item" / "tool.lnk";
        WriteFile(file, "# kept\n[Shell Link]\nTarget=/bin/true\nX-Unknown=stays\n\n"
                        "[Other]\nKey=also stays\n");
        SheetRig rig(file);
        QCOMPARE(rig.sheet.windowTitle(), QString("tool Properties"));
        QCOMPARE(rig.find<QLineEdit>("TargetEdit")->text(), QString("/bin/true"));
        rig.type("TargetEdit", "/bin/echo");
        rig.type("ArgumentsEdit", "--name \"two words\" 'x y' \\$HOME");
        rig.type("StartInEdit", QString::fromStdString((dir / "work").string()));
        rig.type("CommentEdit", "Says hello");
        rig.pickedIcon = "/usr/share/pixmaps/x.png";
        // The chooser belongs to another window, which is active when it closes.
        QWidget editor;
        editor.show();
        rig.sheet.chooseIcon = [&](std::string& icon, int& index) {
            QApplication::setActiveWindow(&editor);
            icon = rig.pickedIcon;
            index = 2;
            return true;
        };
        rig.click("ChangeIconButton");
        QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(&rig.sheet));
        QCOMPARE(QApplication::focusWidget(), rig.find<QPushButton>("ChangeIconButton"));
        QSignalSpy applied(&rig.sheet, &TLinkPropertiesForm::applied);
        rig.click("OKButton");
        QCOMPARE(applied.count(), 1);
        QVERIFY(!rig.sheet.isVisible());
        QVERIFY(messages.isEmpty());
        const std::string text = ReadFile(file);
        for (const std::string& line : std::vector<std::string>{
                 "# kept", "Target=/bin/echo", "X-Unknown=stays",
                 "Arguments=--name \"two words\" 'x y' \\\\$HOME",
                 "WorkingDirectory=" + (dir / "work").string(), "Description=Says hello",
                 "IconFile=/usr/share/pixmaps/x.png", "IconIndex=2", "[Other]", "Key=also stays"}) {
            QVERIFY2(text.find(line + "\n") != std::string::npos, (line + " in\n" + text).c_str());
        }
    }

    void cancelWritesNothing() {
        TempDir dir;
        const fs::path file = dir / "tool.lnk";
        WriteFile(file, "[Shell Link]\nTarget=/bin/true\n");
        SheetRig rig(file);
        rig.type("TargetEdit", "/bin/false");
        rig.click("CancelButton");
        QCOMPARE(ReadFile(file), std::string("[Shell Link]\nTarget=/bin/true\n"));
    }

    // Refused with a message and nothing written: a folder that is not there,
    // arguments a launch cannot split. A target that is not there is allowed,
    // with a warning: it may be installed later.
    void checksWhatItWrites_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("written");
        QTest::addColumn<bool>("warned");
        QTest::newRow("missingFolder") << "StartInEdit"
                                       << "/no/such/folder" << false << false;
        QTest::newRow("openQuote") << "ArgumentsEdit"
                                   << "--x \"unclosed" << false << false;
        QTest::newRow("trailingBackslash") << "ArgumentsEdit"
                                           << "a \\" << false << false;
        QTest::newRow("missingTarget") << "TargetEdit"
                                       << "/opt/later/tool" << true << true;
        QTest::newRow("emptyTarget") << "TargetEdit"
                                     << "" << false << false;
        QTest::newRow("blankTarget") << "TargetEdit"
                                     << "  " << false << true;
        QTest::newRow("fine") << "ArgumentsEdit"
                              << "-v 'a b'" << true << false;
    }
    void checksWhatItWrites() {
        QFETCH(QString, field);
        QFETCH(QString, text);
        QFETCH(bool, written);
        QFETCH(bool, warned);
        TempDir dir;
        const fs::path file = dir / "tool.lnk";
        const std::string before = "[Shell Link]\nTarget=/bin/true\n";
        WriteFile(file, before);
        SheetRig rig(file);
        rig.type(field.toLatin1().constData(), text);
        QCOMPARE(!rig.find<QLabel>("WarningLabel")->text().isEmpty(), warned);
        rig.click("ApplyButton");
        QCOMPARE(ReadFile(file) != before, written);
        QCOMPARE(messages.size(), written ? 0 : 1);
        QVERIFY(rig.sheet.isVisible()); // Apply keeps the sheet open
    }

    // A target whose name is not UTF-8 is shown with replacement characters;
    // saving the sheet must not write those in its place.
    void aTargetThatIsNotUtf8KeepsItsBytes() {
        TempDir dir;
        const fs::path target = dir / fs::path(std::string("caf\xe9"));
        WriteFile(target, "#!/bin/sh\n");
        const fs::path file = dir / "tool.lnk";
        WriteFile(file, "[Shell Link]\nTarget=" + (dir / "caf?").string() +
                            "\nTarget-Escaped=" + (dir / "caf%E9").string() + "\n");
        QCOMPARE(korvane::shell::ReadLinkTarget(file), target.string());
        SheetRig rig(file);
        QVERIFY(rig.find<QLabel>("WarningLabel")->text().isEmpty()); // it is there
        rig.type("ArgumentsEdit", "--fast");
        rig.click("OKButton");
        QVERIFY(messages.isEmpty());
        QCOMPARE(korvane::shell::ReadLinkTarget(file), target.string());
        QVERIFY(ReadFile(file).find("Arguments=--fast") != std::string::npos);
    }

    void aDesktopEntryKeepsItsOtherGroupsAndTranslations() {
        TempDir dir;
        const fs::path file = dir / "editor.desktop";
        WriteFile(file, "[Desktop Entry]\nType=Application\nName=Editor\nName[de]=Bearbeiter\n"
                        "Exec=vi %F\nIcon=accessories-text-editor\n\n"
                        "[Desktop Action New]\nName=New window\nExec=vi\n");
        SheetRig rig(file);
        QCOMPARE(rig.sheet.windowTitle(), QString("editor.desktop Properties"));
        QCOMPARE(rig.find<QLineEdit>("NameEdit")->text(), QString("Editor"));
        QVERIFY(!rig.find<QLineEdit>("ArgumentsEdit"));
        rig.type("NameEdit", "Text editor");
        rig.type("TargetEdit", "vim %F");
        rig.type("StartInEdit", QString::fromStdString(dir.path().string()));
        rig.type("CommentEdit", "Edits text");
        rig.click("OKButton");
        QCOMPARE(ReadFile(file),
                 "[Desktop Entry]\nType=Application\nName=Text editor\nName[de]=Bearbeiter\n"
                 "Exec=vim %F\nIcon=accessories-text-editor\nPath=" +
                     dir.path().string() +
                     "\nComment=Edits text\n\n"
                     "[Desktop Action New]\nName=New window\nExec=vi\n");
    }

    void aDamagedLinkOpensReadOnly() {
        TempDir dir;
        const fs::path file = dir / "broken.lnk";
        static const char bytes[] = "L\0\0\0\x01\x14\x02 not a key file";
        const std::string damaged(bytes, sizeof bytes - 1);
        WriteFile(file, damaged);
        SheetRig rig(file);
        QVERIFY(!rig.find<QLineEdit>("TargetEdit")->isEnabled());
        QVERIFY(!rig.find<QPushButton>("OKButton")->isEnabled());
        QVERIFY(!rig.find<QPushButton>("ApplyButton")->isEnabled());
        QVERIFY(rig.find<QLabel>("WarningLabel")->text().contains("read-only"));
        QVERIFY(!rig.sheet.Apply());
        QCOMPARE(ReadFile(file), damaged);
    }

    void opensTheTargetsFolder() {
        TempDir dir;
        WriteFile(dir / "tool.lnk", "[Shell Link]\nTarget=/usr/bin/env\n");
        SheetRig rig(dir / "tool.lnk");
        rig.click("OpenLocationButton");
        QCOMPARE(rig.opened, std::vector<fs::path>{"/usr/bin"});
    }

    // What the sheet writes is what a launch does: the arguments split into
    // exactly these words, started in the "Start in" folder.
    // A link naming no start folder: the sheet shows where the item will
    // start, the home folder as every launcher here starts it.
    void anEmptyStartFolderShowsTheHomeFolder() {
        TempDir dir;
        qputenv("HOME", QByteArray::fromStdString((dir / "home").string()));
        const fs::path file = dir / "item" / "tool.lnk";
        WriteFile(file, "[Shell Link]\nTarget=/bin/true\n");
        SheetRig rig(file);
        QCOMPARE(rig.find<QLineEdit>("StartInEdit")->text(), QString());
        QCOMPARE(rig.find<QLineEdit>("StartInEdit")->placeholderText(),
                 QString::fromStdString((dir / "home").string()));
    }

    void aLaunchHonoursWhatTheSheetWrote() {
        TempDir dir;
        const fs::path marker = dir / "marker";
        const fs::path script = dir / "bin" / "args.sh";
        WriteFile(script, "#!/bin/sh\n{ pwd; for a in \"$@\"; do echo \"[$a]\"; done; } > '" +
                              marker.string() + "'\n");
        fs::permissions(script, fs::perms::owner_all);
        fs::create_directories(dir / "work");
        const fs::path file = dir / "item" / "args.sh.lnk";
        WriteFile(file, "[Shell Link]\nTarget=" + script.string() + "\n");
        {
            SheetRig rig(file);
            rig.type("ArgumentsEdit", "--name \"two words\" 'x y' \\$HOME");
            rig.type("StartInEdit", QString::fromStdString((dir / "work").string()));
            rig.click("OKButton");
        }
        korvane::shell::ShellOpen(file, "", dir / "item");
        QVERIFY(WaitFor([&] { return ReadFile(marker).find("$HOME]") != std::string::npos; }));
        QCOMPARE(ReadFile(marker),
                 (dir / "work").string() + "\n[--name]\n[two words]\n[x y]\n[$HOME]\n");
    }

    // KORVANE_SCREENSHOTS=<folder> keeps pictures of the sheet to look at.
    void screenshots() {
        const QString shots = qEnvironmentVariable("KORVANE_SCREENSHOTS");
        if (shots.isEmpty()) {
            QSKIP("KORVANE_SCREENSHOTS not set");
        }
        TempDir dir;
        WriteFile(dir / "gedit.lnk", "[Shell Link]\nTarget=/usr/bin/gedit\nArguments=--new-window\n"
                                     "WorkingDirectory=/tmp\nDescription=Text editor\n");
        WriteFile(dir / "term.desktop", "[Desktop Entry]\nType=Application\nName=Terminal\n"
                                        "Exec=xterm -e top\nIcon=utilities-terminal\n");
        for (const char* name : {"gedit.lnk", "term.desktop"}) {
            SheetRig rig(dir / name);
            QVERIFY(QTest::qWaitForWindowExposed(&rig.sheet));
            rig.sheet.grab().save(shots + "/sheet-" + QString::fromLatin1(name) + ".png");
        }
    }

  private:
    QStringList messages;
};

QTEST_MAIN(LinkPropertiesTest)
#include "link_properties_test.moc"

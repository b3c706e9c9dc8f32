// Run by wayland_session.sh on a native Wayland platform: windows that are
// opened and closed there keep the places their layout file holds, since a
// Wayland client is never told where its windows are.
#include "editor/editor_window.h"
#include "layout/layout_file.h"
#include "menu/startup_menu.h"
#include "store/ini_file.h"
#include "test_support.h"

#include <QtTest>

using korvane::test::TempDir;
using korvane::test::WriteFile;

class WaylandLayoutTest : public QObject {
    Q_OBJECT

  private slots:
    void closedWindowsKeepTheirSavedPlaces() {
        if (!QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
            QSKIP("needs a native Wayland platform");
        }
        TempDir dir;
        ::setenv("HOME", dir.path().c_str(), 1);
        korvane::ProgramFiles files(dir / "korvane");
        WriteFile(dir / "batches.lst", "[Work]\r\nID=1\r\n");
        WriteFile(files.layoutFile, "[Form1]\r\nForm1.Left=140\r\nForm1.Top=90\r\n"
                                    "[Form2]\r\nForm2.Left=300\r\nForm2.Top=200\r\n");
        {
            korvane::TForm1 editor(files);
            korvane::LoadLayout(files.layoutFile, editor);
            editor.show();
            QVERIFY(QTest::qWaitForWindowExposed(&editor));
            editor.close();
        }
        {
            korvane::TForm2 menu(files);
            korvane::LoadLayout(files.layoutFile, menu);
            menu.show();
            QVERIFY(QTest::qWaitForWindowExposed(&menu));
            menu.close();
        }
        korvane::TIniFile layout(files.layoutFile);
        QCOMPARE(layout.ReadText("Form1", "Form1.Left", ""), std::string("140"));
        QCOMPARE(layout.ReadText("Form1", "Form1.Top", ""), std::string("90"));
        QCOMPARE(layout.ReadText("Form2", "Form2.Left", ""), std::string("300"));
        QCOMPARE(layout.ReadText("Form2", "Form2.Top", ""), std::string("200"));
    }
};

QTEST_MAIN(WaylandLayoutTest)
#include "wayland_layout_test.moc"

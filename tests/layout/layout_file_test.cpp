#include "layout/layout_file.h"
#include "layout/published_form.h"
#include "store/ini_file.h"
#include "test_support.h"

#include <QGuiApplication>
#include <QScreen>
#include <QtTest>

using korvane::TIniFile;
using korvane::TPublishedForm;
using korvane::test::ReadFile;
using korvane::test::TempDir;
using korvane::test::WriteFile;

class LayoutFileTest : public QObject {
    Q_OBJECT

  private:
    static QStringList KeysOf(const TIniFile& ini, const std::string& section) {
        QStringList keys;
        for (const auto& k : ini.ListKeys(section)) {
            keys << QString::fromStdString(k);
        }
        return keys;
    }

  private slots:
    void storesEveryPublishedPropertyInOrderAndRestoresThem() {
        TempDir dir;
        const auto file = dir / "korvane.prm";
        TPublishedForm saved;
        saved.setObjectName("Form2");
        saved.resize(300, 250);
        saved.move(40, 60);
        saved.SetTag(7);
        saved.SetAlphaBlend(true);
        saved.SetAlphaBlendValue(128);
        korvane::SaveLayout(file, saved);

        TIniFile ini(file);
        QCOMPARE(KeysOf(ini, "Form2"),
                 QStringList({"Form2.Tag", "Form2.Left", "Form2.Top", "Form2.Width", "Form2.Height",
                              "Form2.Cursor", "Form2.AlphaBlend", "Form2.AlphaBlendValue",
                              "Form2.ClientHeight", "Form2.ClientWidth", "Form2.Enabled",
                              "Form2.Position", "Form2.Visible", "Form2.WindowState"}));
        QCOMPARE(ini.ReadText("Form2", "Form2.AlphaBlend", ""), std::string("1"));
        QCOMPARE(ini.ReadText("Form2", "Form2.AlphaBlendValue", ""), std::string("128"));
        QCOMPARE(ini.ReadText("Form2", "Form2.Visible", ""), std::string("0"));

        TPublishedForm restored;
        restored.setObjectName("Form2");
        korvane::LoadLayout(file, restored);
        QCOMPARE(restored.Tag(), 7);
        QCOMPARE(restored.pos(), QPoint(40, 60));
        QCOMPARE(restored.size(), QSize(300, 250));
        QVERIFY(restored.AlphaBlend());
        QCOMPARE(restored.AlphaBlendValue(), 128);
        QCOMPARE(restored.windowOpacity(), 128 / 255.0);
    }

    void restoringWritesTheTrace() {
        TempDir dir;
        const auto file = dir / "korvane.prm";
        TPublishedForm form;
        form.setObjectName("Form2");
        korvane::LoadLayout(file, form);
        TIniFile ini(file);
        QStringList expected{"Mark1", "Mark2", "Mark3", "Mark4", "Mark5"};
        for (const char* p :
             {"Tag", "Left", "Top", "Width", "Height", "Cursor", "AlphaBlend", "AlphaBlendValue",
              "ClientHeight", "ClientWidth", "Enabled", "Position", "Visible", "WindowState"}) {
            expected << QString("Mark5-") + p;
        }
        expected << "Mark6"
                 << "Mark7";
        QCOMPARE(KeysOf(ini, "Debug-Form2"), expected);
        QCOMPARE(ini.ReadText("Debug-Form2", "Mark7", ""), std::string("Yes"));
        QVERIFY(ini.ListKeys("Form2").empty());

        TPublishedForm unnamed;
        korvane::LoadLayout(file, unnamed);
        QCOMPARE(KeysOf(ini, "Debug-"), QStringList{"Mark1"});
    }

    void absentBadAndOutOfRangeValuesChangeNothing_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::newRow("marker") << "Left"
                                << "-999";
        QTest::newRow("text") << "Left"
                              << "abc";
        QTest::newRow("negativeWidth") << "Width"
                                       << "-5";
        QTest::newRow("hugeHeight") << "Height"
                                    << "99999999";
        QTest::newRow("opacityTooHigh") << "AlphaBlendValue"
                                        << "300";
        QTest::newRow("flagNotZeroOrOne") << "AlphaBlend"
                                          << "2";
        QTest::newRow("noSuchWindowState") << "WindowState"
                                           << "7";
        QTest::newRow("noSuchPosition") << "Position"
                                        << "-1";
        QTest::newRow("noSuchCursor") << "Cursor"
                                      << "500";
    }
    void absentBadAndOutOfRangeValuesChangeNothing() {
        QFETCH(QString, key);
        QFETCH(QString, value);
        TempDir dir;
        WriteFile(dir / "f.prm",
                  "[Form2]\r\nForm2." + key.toStdString() + "=" + value.toStdString() + "\r\n");
        TPublishedForm form;
        form.setObjectName("Form2");
        form.resize(292, 291);
        form.move(10, 20);
        const auto before = korvane::PublishedProperties(form);
        QVariantList values;
        for (const auto& p : before) {
            values << p.read(&form);
        }
        korvane::LoadLayout(dir / "f.prm", form);
        for (std::size_t i = 0; i < before.size(); ++i) {
            QCOMPARE(before[i].read(&form), values[static_cast<int>(i)]);
        }
    }

    void garbageFilesNeverHurt() {
        TempDir dir;
        std::string junk;
        for (int i = 0; i < 5000; ++i) {
            junk += static_cast<char>((i * 7919) % 256);
        }
        WriteFile(dir / "f.prm", junk + "\n[Form2]\nForm2.Width=\x01\xFF\nForm2.Left=12junk\n");
        TPublishedForm form;
        form.setObjectName("Form2");
        form.resize(292, 291);
        korvane::LoadLayout(dir / "f.prm", form);
        QCOMPARE(form.size(), QSize(292, 291));
    }

    void editorWindowNeverStoresVisible() {
        TempDir dir;
        TPublishedForm form;
        form.setObjectName("Form1");
        korvane::SaveLayout(dir / "f.prm", form);
        TIniFile ini(dir / "f.prm");
        QVERIFY(!KeysOf(ini, "Form1").contains("Form1.Visible"));
        QVERIFY(KeysOf(ini, "Form1").contains("Form1.WindowState"));
    }

    // A layout stored while the window was minimised and hidden by a launch
    // (by any version) brings it back on screen, as it was before it was
    // minimised, with every other stored value.
    void topLevelWindowsComeBackShownAndNotMinimised_data() {
        QTest::addColumn<QString>("state");
        QTest::addColumn<bool>("maximised");
        QTest::newRow("minimisedAndHidden") << "Form2.WindowState=1\r\nForm2.Visible=0\r\n"
                                            << false;
        QTest::newRow("minimised") << "Form2.WindowState=1\r\n" << false;
        QTest::newRow("maximisedAndHidden") << "Form2.WindowState=2\r\nForm2.Visible=0\r\n" << true;
    }
    void topLevelWindowsComeBackShownAndNotMinimised() {
        QFETCH(QString, state);
        QFETCH(bool, maximised);
        TempDir dir;
        WriteFile(dir / "f.prm", "[Form2]\r\nForm2.Left=40\r\nForm2.Top=60\r\n"
                                 "Form2.ClientWidth=300\r\nForm2.ClientHeight=250\r\n"
                                 "Form2.AlphaBlend=1\r\nForm2.AlphaBlendValue=128\r\n" +
                                     state.toStdString());
        TPublishedForm form;
        form.setObjectName("Form2");
        korvane::LoadLayout(dir / "f.prm", form);
        form.show(); // as the window modes do after restoring
        QVERIFY(form.isVisible());
        QVERIFY(!form.isMinimized());
        QCOMPARE(form.WindowState(),
                 maximised ? TPublishedForm::wsMaximized : TPublishedForm::wsNormal);
        QCOMPARE(form.isMaximized(), maximised);
        QCOMPARE(form.AlphaBlendValue(), 128);
        if (!maximised) {
            QCOMPARE(form.pos(), QPoint(40, 60));
            QCOMPARE(form.size(), QSize(300, 250));
        }
    }

    // What a minimised window stores is the state it returns to, so that
    // older versions reading the file do not bring it back minimised either.
    void aMinimisedWindowStoresTheStateItReturnsTo_data() {
        QTest::addColumn<bool>("maximised");
        QTest::newRow("fromNormal") << false;
        QTest::newRow("fromMaximised") << true;
    }
    void aMinimisedWindowStoresTheStateItReturnsTo() {
        QFETCH(bool, maximised);
        TempDir dir;
        TPublishedForm form;
        form.setObjectName("Form2");
        form.show();
        if (maximised) {
            form.showMaximized();
        }
        form.showMinimized(); // "Show desktop"
        QVERIFY(form.isMinimized());
        form.hide(); // a launch
        korvane::SaveLayout(dir / "f.prm", form);
        TIniFile ini(dir / "f.prm");
        QCOMPARE(ini.ReadText("Form2", "Form2.WindowState", ""),
                 std::string(maximised ? "2" : "0"));
        QCOMPARE(ini.ReadText("Form2", "Form2.Visible", ""), std::string("0"));
    }

    void windowsOffEveryScreenComeBack() {
        TempDir dir;
        WriteFile(dir / "f.prm", "[Form2]\r\nForm2.Left=-40000\r\nForm2.Top=90000\r\n");
        TPublishedForm form;
        form.setObjectName("Form2");
        form.resize(292, 291);
        korvane::LoadLayout(dir / "f.prm", form);
        QCOMPARE(form.pos(), QPoint(-40000, 90000));
        form.KeepOnScreen();
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY(screen.intersects(form.frameGeometry()));
    }

    // Values that would leave a window out of reach: far too large, its
    // header above the screen, restored disabled.
    void restoredWindowsCanAlwaysBeReachedAndUsed_data() {
        QTest::addColumn<QString>("layout");
        QTest::newRow("huge") << "Form2.Width=100000\r\nForm2.Height=100000\r\n";
        QTest::newRow("headerAbove") << "Form2.Left=10\r\nForm2.Top=-60\r\n";
        QTest::newRow("partlyRight") << "Form2.Left=100000\r\nForm2.Top=10\r\n";
        QTest::newRow("disabled") << "Form2.Enabled=0\r\n";
    }
    void restoredWindowsCanAlwaysBeReachedAndUsed() {
        QFETCH(QString, layout);
        TempDir dir;
        WriteFile(dir / "f.prm", "[Form2]\r\n" + layout.toStdString());
        TPublishedForm form;
        form.setObjectName("Form2");
        form.resize(292, 291);
        korvane::LoadLayout(dir / "f.prm", form);
        form.show();
        form.KeepOnScreen();
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY2(screen.contains(form.frameGeometry()), qPrintable(QString("%1,%2 %3x%4")
                                                                       .arg(form.x())
                                                                       .arg(form.y())
                                                                       .arg(form.width())
                                                                       .arg(form.height())));
        QVERIFY(form.isEnabled());
    }
};

QTEST_MAIN(LayoutFileTest)
#include "layout_file_test.moc"

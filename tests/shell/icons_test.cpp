#include "shell/icons.h"
#include "test_support.h"

#include <QImage>
#include <QtTest>

#include <random>

using korvane::test::ReadFile;
using korvane::test::TempDir;
using korvane::test::WriteFile;

class IconsTest : public QObject {
    Q_OBJECT

  private:
    static QString P(const std::filesystem::path& p) { return QString::fromStdString(p.string()); }

  private slots:
    void theDefaultCollectionHoldsManyIcons() {
        const QString library = korvane::DefaultIconLibrary();
        QVERIFY2(QFileInfo::exists(library), qPrintable(library));
        QCOMPARE(korvane::IconCount(library), 16);
        for (int i : {0, 5, 15}) {
            QVERIFY(!korvane::ExtractIcon(library, i).isNull());
        }
        QVERIFY(korvane::ExtractIcon(library, 16).isNull());
        QVERIFY(korvane::ExtractIcon(library, -1).isNull());
    }

    void everyKindOfFile_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("count");
        QByteArray png;
        {
            QImage image(16, 16, QImage::Format_ARGB32);
            image.fill(Qt::red);
            QBuffer buffer(&png);
            buffer.open(QIODevice::WriteOnly);
            image.save(&buffer, "PNG");
        }
        const QByteArray svg = "<svg xmlns='http://www.w3.org/2000/svg' width='16' height='16'>"
                               "<rect width='16' height='16' fill='blue'/></svg>";
        QTest::newRow("png") << "a.png" << png << 1;
        QTest::newRow("svg") << "a.svg" << svg << 1;
        QTest::newRow("desktopWithIconPath")
            << "a.desktop" << QByteArray("[Desktop Entry]\nIcon=@PNG@\n") << 1;
        QTest::newRow("linkWithIconFile")
            << "a.lnk" << QByteArray("[Shell Link]\nIconFile=@PNG@\n") << 1;
        QTest::newRow("linkWithoutIcon") << "b.lnk" << QByteArray("[Shell Link]\nTarget=/x\n") << 0;
        // Broken files may still show their type's icon, when a theme has one.
        QTest::newRow("truncatedIco") << "t.ico" << QByteArray("\0\0\1\0\3\0", 6) << -1;
        QTest::newRow("emptyFile") << "e.ico" << QByteArray() << -1;
    }
    void everyKindOfFile() {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(int, count);
        TempDir dir;
        QImage(8, 8, QImage::Format_ARGB32).save(P(dir / "icon.png"));
        content.replace("@PNG@", P(dir / "icon.png").toUtf8());
        WriteFile(dir / name.toStdString(), content.toStdString());
        const QString file = P(dir / name.toStdString());
        if (count >= 0) {
            QCOMPARE(korvane::IconCount(file), count);
        }
        QCOMPARE(!korvane::ExtractIcon(file, 0).isNull(), korvane::IconCount(file) > 0);
        QVERIFY(korvane::ExtractIcon(file, 1).isNull());
    }

    void missingFilesGiveNoIcon() {
        QVERIFY(korvane::ExtractIcon("/nowhere/x.ico", 0).isNull());
        QCOMPARE(korvane::IconCount("/nowhere/x.ico"), 0);
        QCOMPARE(korvane::IconCount(""), 0);
    }

    // Damaged icon files: cut short anywhere, or with bytes flipped at random.
    void damagedIconFilesNeverCrash() {
        TempDir dir;
        const std::string good = ReadFile(korvane::DefaultIconLibrary().toStdString());
        std::mt19937 random(7);
        for (int round = 0; round < 300; ++round) {
            std::string bad = good.substr(0, random() % good.size());
            if (round % 2) {
                bad = good;
                for (int k = 0; k < 20; ++k) {
                    bad[random() % bad.size()] = static_cast<char>(random());
                }
            }
            WriteFile(dir / "bad.ico", bad);
            const QString file = P(dir / "bad.ico");
            const int count = korvane::IconCount(file);
            for (int i = 0; i < std::min(count, 20); ++i) {
                (void)korvane::ExtractIcon(file, i);
            }
        }
        QVERIFY(true);
    }
};

QTEST_MAIN(IconsTest)
#include "icons_test.moc"

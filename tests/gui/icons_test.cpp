#include "gui/icons.h"
#include "shell/icon_source.h"
#include "test_support.h"

#include <QDir>
#include <QImage>
#include <QtTest>

#include <random>

using korvane::test::ReadFile;
using korvane::test::TempDir;
using korvane::test::WriteFile;

namespace {

QImage Filled(int side, QColor colour) {
    QImage image(side, side, QImage::Format_ARGB32);
    image.fill(colour);
    return image;
}

// An icon file holding the images given, each stored as PNG.
QByteArray IcoOf(const std::vector<QImage>& images) {
    QByteArray header, data;
    QDataStream h(&header, QIODevice::WriteOnly);
    h.setByteOrder(QDataStream::LittleEndian);
    h << quint16(0) << quint16(1) << quint16(images.size());
    std::vector<QByteArray> pngs;
    for (const QImage& image : images) {
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        pngs.push_back(png);
    }
    quint32 offset = 6 + 16 * images.size();
    for (std::size_t i = 0; i < images.size(); ++i) {
        h << quint8(images[i].width() % 256) << quint8(images[i].height() % 256) << quint8(0)
          << quint8(0) << quint16(1) << quint16(32) << quint32(pngs[i].size()) << offset;
        offset += pngs[i].size();
        data += pngs[i];
    }
    return header + data;
}

QColor CentreOf(const QIcon& icon) {
    return icon.pixmap(32, 32).toImage().pixelColor(16, 16);
}

} // namespace

class IconsTest : public QObject {
    Q_OBJECT

  private:
    static QString P(const std::filesystem::path& p) { return QString::fromStdString(p.string()); }

  private slots:
    void theProgramsOwnPicturesAreThereWithOrWithoutSvg() {
        // Without Qt's SVG plugin (the Windows build) the PNG drawings serve.
        for (const char* name : {"add-application", "add-batch", "delete", "document", "down",
                                 "executable", "folder", "launch", "pause", "shortcut", "up"}) {
            for (const int size : {16, 32}) {
                const QImage picture = korvane::ProgramPicture(name).pixmap(size, size).toImage();
                QVERIFY2(!picture.isNull() && picture.width() == size, name);
            }
        }
        QVERIFY(!korvane::ProductIcon().pixmap(32, 32).isNull());
    }

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
        if (korvane::test::kFreedesktop) {
            QTest::newRow("desktopWithIconPath")
                << "a.desktop" << QByteArray("[Desktop Entry]\nIcon=@PNG@\n") << 1;
            QTest::newRow("linkWithIconFile")
                << "a.lnk" << QByteArray("[Shell Link]\nIconFile=@PNG@\n") << 1;
            QTest::newRow("linkWithoutIcon")
                << "b.lnk" << QByteArray("[Shell Link]\nTarget=/x\n") << 0;
        }
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

    // Every icon comes out 32 x 32, whatever size its picture has; an icon
    // file with one picture at several sizes is one icon, drawn from the
    // image that suits 32 px best, while a collection keeps one per picture.
    void iconFilesAndSizes_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("count");
        QTest::addColumn<QColor>("first");
        QTest::newRow("onePictureThreeSizes")
            << IcoOf({Filled(16, Qt::red), Filled(32, Qt::green), Filled(48, Qt::blue)}) << 1
            << QColor(Qt::green);
        QTest::newRow("sizesInAnotherOrder")
            << IcoOf({Filled(48, Qt::blue), Filled(16, Qt::red), Filled(32, Qt::green)}) << 1
            << QColor(Qt::green);
        QTest::newRow("no32TakesTheNextLarger")
            << IcoOf({Filled(16, Qt::red), Filled(64, Qt::blue), Filled(48, Qt::yellow)}) << 1
            << QColor(Qt::yellow);
        QTest::newRow("onlySmall") << IcoOf({Filled(16, Qt::red)}) << 1 << QColor(Qt::red);
        QTest::newRow("threePicturesOneSize")
            << IcoOf({Filled(16, Qt::red), Filled(16, Qt::green), Filled(16, Qt::blue)}) << 3
            << QColor(Qt::red);
        QTest::newRow("twoPicturesTwoSizes")
            << IcoOf({Filled(16, Qt::red), Filled(32, Qt::green), Filled(16, Qt::blue),
                      Filled(32, Qt::yellow)})
            << 2 << QColor(Qt::green);
    }
    void iconFilesAndSizes() {
        QFETCH(QByteArray, content);
        QFETCH(int, count);
        QFETCH(QColor, first);
        TempDir dir;
        WriteFile(dir / "a.ico", content.toStdString());
        const QString file = P(dir / "a.ico");
        QCOMPARE(korvane::IconCount(file), count);
        for (int i = 0; i < count; ++i) {
            const QIcon icon = korvane::ExtractIcon(file, i);
            QCOMPARE(icon.availableSizes(), QList<QSize>{QSize(32, 32)});
        }
        QCOMPARE(CentreOf(korvane::ExtractIcon(file, 0)), first);
        QVERIFY(korvane::ExtractIcon(file, count).isNull());
    }

    void smallPicturesAreDrawn32() {
        TempDir dir;
        Filled(16, Qt::red).save(P(dir / "small.png"));
        QImage wide(40, 20, QImage::Format_ARGB32);
        wide.fill(Qt::blue);
        wide.save(P(dir / "wide.png"));
        for (const char* name : {"small.png", "wide.png"}) {
            const QIcon icon = korvane::ExtractIcon(P(dir / name), 0);
            QCOMPARE(icon.availableSizes(), QList<QSize>{QSize(32, 32)});
        }
        QCOMPARE(CentreOf(korvane::ExtractIcon(P(dir / "small.png"), 0)), QColor(Qt::red));
    }

    // Most desktop entries name their icon by its theme name.
    void themeNamesAreIconSources() {
        TempDir dir;
        WriteFile(dir / "icons" / "testtheme" / "index.theme",
                  "[Icon Theme]\nName=Test\nDirectories=16x16/apps\n\n[16x16/apps]\nSize=16\n"
                  "Type=Fixed\n");
        std::filesystem::create_directories(dir / "icons" / "testtheme" / "16x16" / "apps");
        Filled(16, Qt::magenta)
            .save(P(dir / "icons" / "testtheme" / "16x16" / "apps" / "korvane-test-app.png"));
        const QStringList oldPaths = QIcon::themeSearchPaths();
        const QString oldName = QIcon::themeName();
        QIcon::setThemeSearchPaths({P(dir / "icons")});
        QIcon::setThemeName(QStringLiteral("testtheme"));
        WriteFile(dir / "app.desktop", "[Desktop Entry]\nType=Application\nExec=true\n"
                                       "Icon=korvane-test-app\n");
        QCOMPARE(korvane::IconCount("korvane-test-app"), 1);
        QCOMPARE(CentreOf(korvane::ExtractIcon("korvane-test-app", 0)), QColor(Qt::magenta));
        QCOMPARE(korvane::ExtractIcon("korvane-test-app", 0).availableSizes(),
                 QList<QSize>{QSize(32, 32)});
        if (korvane::test::kFreedesktop) {
            QCOMPARE(CentreOf(korvane::ExtractIcon(P(dir / "app.desktop"), 0)),
                     QColor(Qt::magenta));
        }
        QCOMPARE(korvane::IconCount("korvane-no-such-icon"), 0);
        QVERIFY(korvane::ExtractIcon("korvane-test-app", 1).isNull());
        QIcon::setThemeSearchPaths(oldPaths);
        QIcon::setThemeName(oldName);
    }

    // The collection is stored relative to the program, and an absolute
    // path written before still finds it after the program moved.
    void theCollectionSurvivesAMove() {
        const QString library = korvane::DefaultIconLibrary();
        QCOMPARE(korvane::shell::StoredIconSource(library.toStdString()),
                 std::string("Icons/korvane.ico"));
        QCOMPARE(korvane::IconCount("Icons/korvane.ico"), 16);
        QCOMPARE(korvane::IconCount(QDir::rootPath() + "old/place/of/korvane/Icons/korvane.ico"),
                 16);
        QCOMPARE(korvane::shell::ResolveIconSource("Icons/korvane.ico"), library.toStdString());
        QCOMPARE(korvane::shell::StoredIconSource("/elsewhere/Icons/other.ico"),
                 std::string("/elsewhere/Icons/other.ico"));
        QCOMPARE(korvane::shell::ResolveIconSource("firefox"), std::string("firefox"));
    }

    // Row icons are made when first drawn: before that they are not null,
    // drawn they show what the file names, and rows of one icon share it.
    void rowIconsAreMadeWhenDrawn() {
        TempDir dir;
        QVERIFY(Filled(32, Qt::red).save(P(dir / "red.png")));
        QVERIFY(Filled(32, Qt::blue).save(P(dir / "blue.png")));
        korvane::ApplicationRow row;
        row.file = dir / "a.lnk";
        row.target = (dir / "missing").string();
        row.iconFile = (dir / "red.png").string();
        korvane::ItemIcons items;
        const QIcon first = items.For(row);
        QVERIFY(!first.isNull());
        // Changed before it is drawn: the icon shows the file as it is then.
        QVERIFY(Filled(32, Qt::green).save(P(dir / "red.png")));
        QCOMPARE(CentreOf(first), QColor(Qt::green));
        QCOMPARE(items.For(row).cacheKey(), first.cacheKey());
        QCOMPARE(CentreOf(items.For(row)), QColor(Qt::green));
        row.iconFile = (dir / "blue.png").string();
        QCOMPARE(CentreOf(items.For(row)), QColor(Qt::blue));
        // No icon to be had: the document picture, never an empty row.
        row.iconFile = (dir / "gone.png").string();
        QVERIFY(!items.For(row).pixmap(32, 32).isNull());
        korvane::BatchIcons batches;
        QCOMPARE(CentreOf(batches.For((dir / "blue.png").string(), 0)), QColor(Qt::blue));
        QCOMPARE(batches.For((dir / "gone.png").string(), 0).pixmap(32, 32).toImage(),
                 korvane::DefaultBatchIcon().pixmap(32, 32).toImage());
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

// Icons and type names from the Windows shell (run under Wine in the tests).
#include "gui/icons.h"
#include "gui/system_icons.h"

#include <QImage>
#include <QtTest>

#include <windows.h>

#include <shellapi.h>

#undef ExtractIcon // a macro of the Windows headers, not ours

namespace {

QString SystemFile(const wchar_t* name) {
    wchar_t folder[MAX_PATH];
    GetSystemDirectoryW(folder, MAX_PATH);
    return QString::fromWCharArray(folder) + QLatin1Char('\\') + QString::fromWCharArray(name);
}

QString WindowsFile(const wchar_t* name) {
    wchar_t folder[MAX_PATH];
    GetWindowsDirectoryW(folder, MAX_PATH);
    return QString::fromWCharArray(folder) + QLatin1Char('\\') + QString::fromWCharArray(name);
}

QImage At32(const QIcon& icon) {
    return icon.pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32);
}

} // namespace

class SystemIconsTest : public QObject {
    Q_OBJECT

  private slots:
    // A library of icons lists every one of them, each its own picture.
    void librariesListTheirIcons() {
        const QString shell32 = SystemFile(L"shell32.dll");
        const int count = korvane::IconCount(shell32);
        QCOMPARE(count,
                 int(ExtractIconExW(shell32.toStdWString().c_str(), -1, nullptr, nullptr, 0)));
        QVERIFY2(count > 100, qPrintable(QString::number(count)));
        QVERIFY(!korvane::ExtractIcon(shell32, 0).isNull());
        QVERIFY(!korvane::ExtractIcon(shell32, count - 1).isNull());
        QVERIFY(korvane::ExtractIcon(shell32, count).isNull());
        QVERIFY(At32(korvane::ExtractIcon(shell32, 0)) != At32(korvane::ExtractIcon(shell32, 3)));
    }

    // A program's row and its batch icon show the program's own icon.
    void aProgramShowsItsOwnIcon() {
        const QString notepad = WindowsFile(L"notepad.exe");
        HICON large = nullptr;
        QVERIFY(ExtractIconExW(notepad.toStdWString().c_str(), 0, &large, nullptr, 1) == 1);
        const QImage expected = QImage::fromHICON(large)
                                    .scaled(32, 32, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                                    .convertToFormat(QImage::Format_ARGB32);
        DestroyIcon(large);
        QCOMPARE(At32(korvane::ExtractIcon(notepad, 0)), expected);
        QVERIFY(!korvane::FileTypeIcon(notepad).isNull());
        QVERIFY(At32(korvane::FileTypeIcon(notepad)) !=
                At32(korvane::ProgramPicture("executable")));
    }

    void typeNamesComeFromTheShell() {
        QVERIFY(!korvane::SystemTypeName(WindowsFile(L"notepad.exe")).isEmpty());
        QVERIFY(!korvane::SystemIconCount(WindowsFile(L"win.ini")));
    }
};

QTEST_MAIN(SystemIconsTest)
#include "system_icons_windows_test.moc"

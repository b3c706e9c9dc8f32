// The startup menu under a real X server with a window manager (run through
// scripts/with-openbox.sh): where the window really is, and where its
// context menu opens.
#include "menu/startup_menu.h"
#include "test_support.h"

#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QListWidget>
#include <QMenu>
#include <QScreen>
#include <QtTest>

#include <cstdlib>
#include <xcb/xcb.h>

using korvane::test::TempDir;
using korvane::test::WriteFile;

namespace {

// The window's top-left corner on the screen as the X server knows it.
QPoint ServerPosition(const QWidget* w) {
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const auto cookie =
        xcb_translate_coordinates(c, static_cast<xcb_window_t>(w->winId()), screen->root, 0, 0);
    xcb_translate_coordinates_reply_t* reply = xcb_translate_coordinates_reply(c, cookie, nullptr);
    const QPoint p = reply ? QPoint(reply->dst_x, reply->dst_y) : QPoint(-1, -1);
    std::free(reply);
    xcb_disconnect(c);
    return p;
}

} // namespace

class StartupMenuX11Test : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        if (QGuiApplication::platformName() != QLatin1String("xcb")) {
            QSKIP("needs an X server (scripts/with-openbox.sh)");
        }
    }

    // Twelve first starts: each time Qt's idea of the window's place is the
    // server's, so mapped points and menus land where they should.
    void firstStartsAreCentredWhereQtBelievesThemToBe() {
        for (int start = 0; start < 12; ++start) {
            TempDir dir;
            WriteFile(dir / "batches.lst", "[Work]\r\nID=1\r\nItem0=File;2\\;Active\r\n");
            WriteFile(dir / "Shortcuts" / "1" / "2" / "tool.lnk",
                      "[Shell Link]\nTarget=/bin/true\n");
            korvane::ProgramFiles files(dir / "korvane");
            korvane::TForm2 form(files);
            form.show();
            QVERIFY(QTest::qWaitForWindowExposed(&form));
            QTest::qWait(150); // the window manager has had its say
            const QPoint server = ServerPosition(&form);
            QCOMPARE(form.mapToGlobal(QPoint(0, 0)), server);
            const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
            QVERIFY2(std::abs(server.x() + form.width() / 2 - screen.center().x()) <= 2 &&
                         std::abs(server.y() + form.height() / 2 - screen.center().y()) <= 2,
                     qPrintable(QStringLiteral("at %1,%2").arg(server.x()).arg(server.y())));

            auto* list = form.findChild<QListWidget*>("ListView1");
            auto* menu = form.findChild<QMenu*>("PopupMenu1");
            QVERIFY(list && menu);
            const QPoint local(10, 10);
            const QPoint global = ServerPosition(list->viewport()) + local;
            QContextMenuEvent event(QContextMenuEvent::Mouse, local, global);
            QApplication::sendEvent(list->viewport(), &event);
            QTRY_VERIFY(menu->isVisible());
            QVERIFY2((menu->pos() - global).manhattanLength() <= 2,
                     qPrintable(QStringLiteral("menu at %1,%2, pointer at %3,%4")
                                    .arg(menu->pos().x())
                                    .arg(menu->pos().y())
                                    .arg(global.x())
                                    .arg(global.y())));
            menu->hide();
            form.hide();
        }
    }
};

QTEST_MAIN(StartupMenuX11Test)
#include "startup_menu_x11_test.moc"

// The smallest Qt Widgets program: one window shown, nothing else. The
// yardstick for how fast a Qt window can appear on this machine.
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.resize(400, 300);
    window.show();
    return app.exec();
}

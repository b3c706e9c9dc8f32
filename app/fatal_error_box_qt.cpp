#include "app/fatal_error_box.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdlib>
#include <memory>

namespace korvane {

namespace {

bool DisplayAvailable() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* v = std::getenv(name);
        if (v && *v) {
            return true;
        }
    }
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    return platform && *platform;
}

} // namespace

void ShowFatalErrorBox(const std::string& text) {
    if (!DisplayAvailable()) {
        return;
    }
    std::unique_ptr<QApplication> app;
    if (!QApplication::instance()) {
        static int argc = 1;
        static char name[] = "korvane";
        static char* argv[] = {name, nullptr};
        app = std::make_unique<QApplication>(argc, argv);
    }
    QMessageBox::critical(nullptr, QStringLiteral("Application Error"),
                          QString::fromStdString(text));
}

} // namespace korvane

#include "window_layer/error_box.h"

#include "window_layer/display_probe.h"

#include <QApplication>
#include <QMessageBox>
#include <memory>

namespace korvane {

void ShowErrorBoxWindow(const std::string& text, const std::string& caption) {
    // Only on a display somebody sees: an unreachable one would end the
    // process inside Qt, an invisible one would wait for a click forever.
    if (ProbeDisplay() != DisplayKind::Visible) {
        return;
    }
    std::unique_ptr<QApplication> app;
    if (!QApplication::instance()) {
        static int argc = 1;
        static char name[] = "korvane";
        static char* argv[] = {name, nullptr};
        app = std::make_unique<QApplication>(argc, argv);
    }
    QMessageBox::critical(nullptr, QString::fromStdString(caption), QString::fromStdString(text));
}

} // namespace korvane

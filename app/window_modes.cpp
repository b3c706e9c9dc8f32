#include "app/window_modes.h"

#include "app/error_report.h"
#include "app/program.h"
#include "layout/layout_file.h"
#include "menu/startup_menu.h"

#include <QApplication>

namespace korvane {

namespace {

void SetUpApplication(QApplication& app) {
    QApplication::setApplicationName(QString::fromLatin1(kApplicationTitle));
    QApplication::setApplicationDisplayName(QString::fromLatin1(kApplicationTitle));
    app.setQuitOnLastWindowClosed(true);
}

} // namespace

int RunStartupMenu(ProgramFiles& files, int& argc, char** argv) {
    QApplication app(argc, argv);
    SetUpApplication(app);
    TForm2 form(files);
    QObject::connect(&form, &TForm2::closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    // Restored whether or not the layout file exists; the trace creates it.
    Guarded(&form, [&] { LoadLayout(files.layoutFile, form); });
    form.show();
    form.KeepOnScreen();
    return app.exec();
}

} // namespace korvane

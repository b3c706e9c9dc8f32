#include "window_layer/window_modes.h"

#include "app/program.h"
#include "editor/editor_window.h"
#include "gui/error_report.h"
#include "gui/icons.h"
#include "layout/layout_file.h"
#include "layout/published_controls.h"
#include "menu/startup_menu.h"
#include "shell/version.h"
#include "store/sweep.h"
#include "window_layer/display_probe.h"
#include "window_layer/font_warmup.h"
#include "window_layer/freed_memory.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>

#include <cstdio>
#include <exception>
#include <thread>

namespace korvane {

namespace {

void SetUpApplication(QApplication& app) {
    // The class name of the windows (WM_CLASS "korvane", "Korvane"): the
    // menu entry's StartupWMClass.
    QApplication::setApplicationName(QString::fromLatin1(kApplicationTitle));
    // Task bars and window switchers group the windows with the menu entry
    // through the entry's id (the Wayland app id).
    QApplication::setDesktopFileName(QString::fromLatin1(version::kAppId));
    app.setQuitOnLastWindowClosed(true);
}

// Task bars and window switchers show this icon. Given once the first window
// is on its way: the picture is rendered at every size a task bar may ask
// for, which the window's first frame does not wait for.
void GiveWindowsTheIcon(QApplication& app) {
    QTimer::singleShot(0, &app, [] { QApplication::setWindowIcon(ProductIcon()); });
}

// Once the window's first frame is drawn (its rows' icons made), what
// start-up used and freed goes back to the system.
class TrimAfterFirstFrame : public QObject {
  public:
    explicit TrimAfterFirstFrame(QWidget& window) : QObject(&window) {
        window.installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            // After this frame's painting, which the filter comes before.
            QTimer::singleShot(0, this, [this] {
                ReturnFreedMemory();
                deleteLater();
            });
        }
        return false;
    }
};

// The font configuration read, and the catalogue checked, read and parsed,
// on a second thread while Qt connects to the display and loads its plugins;
// joined before the window is built. The editor's start also sweeps away
// what edits killed half-way left behind.
class StartupPreload {
  public:
    enum class Sweep { No, Yes };
    StartupPreload(const ProgramFiles& files, Sweep sweep)
        : thread_([this, &files, sweep] {
              WarmUpFontConfiguration();
              try {
                  CheckReadable(files.catalogue); // reads and parses it too
              } catch (...) {
                  failure_ = std::current_exception();
                  return;
              }
              if (sweep == Sweep::Yes) {
                  (void)SweepLeftovers(files);
              }
          }) {}
    void Wait() {
        if (thread_.joinable()) {
            thread_.join();
        }
    }
    // A catalogue that cannot be read: the lists would look as if there
    // were no batches.
    void ReportFailure() {
        Wait();
        if (failure_) {
            std::rethrow_exception(failure_);
        }
    }

  private:
    std::exception_ptr failure_;
    std::jthread thread_; // last: joined before failure_ goes
};

// Qt aborts when the display it is given does not answer; say why instead.
bool DisplayUsable() {
    if (ProbeDisplay() != DisplayKind::None) {
        return true;
    }
    std::fprintf(stderr, "%s\n", kNoDisplayMessage);
    return false;
}

} // namespace

int RunStartupMenu(ProgramFiles& files, int& argc, char** argv) {
    const bool choseX = PreferXForPlacedWindows();
    if (!DisplayUsable()) {
        return 1;
    }
    StartupPreload preload(files, StartupPreload::Sweep::No);
    QApplication app(argc, argv);
    if (choseX) {
        ForgetPlatformChoice(); // not for the programs the menu starts
    }
    SetUpApplication(app);
    preload.Wait();
    TForm2 form(files);
    QObject::connect(&form, &TForm2::closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    // Restored whether or not the layout file exists; the trace creates it.
    Guarded(&form, [&] { LoadLayout(files.layoutFile, form); });
    // Fitted before it is shown too: a window shown at a restored size far
    // beyond the screen gets no picture at all.
    form.KeepOnScreen();
    form.show();
    form.KeepOnScreen();
    GiveWindowsTheIcon(app);
    new TrimAfterFirstFrame(form); // owned by the form
    Guarded(&form, [&] { preload.ReportFailure(); });
    return app.exec();
}

int RunEditor(ProgramFiles& files, int& argc, char** argv) {
    if (!DisplayUsable()) {
        return 1;
    }
    StartupPreload preload(files, StartupPreload::Sweep::Yes);
    QApplication app(argc, argv);
    SetUpApplication(app);
    preload.Wait();
    TForm1 form(files);
    QObject::connect(&form, &TForm1::closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    // Restored only when a layout was saved before: a first start writes nothing.
    if (std::filesystem::exists(files.layoutFile)) {
        Guarded(&form, [&] {
            LoadLayout(files.layoutFile, form);
            LoadLayout(files.layoutFile, *form.coolBar());
            LoadLayout(files.layoutFile, *form.toolBar());
            LoadLayout(files.layoutFile, *form.batchList());
        });
    }
    form.KeepOnScreen();
    form.show();
    form.KeepOnScreen();
    GiveWindowsTheIcon(app);
    new TrimAfterFirstFrame(form); // owned by the form
    Guarded(&form, [&] { preload.ReportFailure(); });
    return app.exec();
}

} // namespace korvane

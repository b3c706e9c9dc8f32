#include "soak_driver.h"

#include "app/runner.h"
#include "editor/editor_window.h"
#include "layout/published_controls.h"
#include "store/utf8.h"
#include "test_support.h"

#include <QApplication>
#include <QLineEdit>
#include <QThread>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace korvane::soak {

namespace {

using Clock = std::chrono::steady_clock;

long long Now() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch())
        .count();
}

using test::ReadFile;
using test::WriteFile;

// Names a user's files have: blanks, brackets, "=", other scripts, and one
// that is not UTF-8 at all.
const char* const kScriptNames[] = {"mark.sh", " spaced .sh", "br[a]c=ket.sh",
                                    "\xc3\x9cn\xc3\xaf"
                                    "code.sh",
                                    "caf\xe9.sh"};

void Setenv(const char* name, const fs::path& value) {
    ::setenv(name, value.c_str(), 1);
}

void ChownTree(const fs::path& root, uid_t uid, gid_t gid) {
    ::chown(root.c_str(), uid, gid);
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        ::lchown(entry.path().c_str(), uid, gid);
    }
}

} // namespace

std::vector<QWidget*> OpenSheets() {
    std::vector<QWidget*> sheets;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->isVisible() && w->objectName() == QLatin1String("LinkPropertiesForm")) {
            sheets.push_back(w);
        }
    }
    return sheets;
}

void PrepareChild(const fs::path& work) {
    for (const char* sub : {"home", "run", "program", "scripts", "bin", "share"}) {
        fs::create_directories(work / sub);
    }
    ::chmod((work / "run").c_str(), 0700);
    // The soak's own programs: scripts that say they ran, and an entry.
    const fs::path marker = work / "marker";
    for (const char* name : kScriptNames) {
        const fs::path script = work / "scripts" / name;
        WriteFile(script, "#!/bin/sh\necho \"$0|$PWD|$*\" >> '" + marker.string() + "'\n");
        fs::permissions(script, fs::perms::owner_all | fs::perms::group_read |
                                    fs::perms::group_exec | fs::perms::others_read |
                                    fs::perms::others_exec);
    }
    WriteFile(work / "scripts" / "tool.desktop",
              "[Desktop Entry]\nType=Application\nName=Tool\nExec=" +
                  (work / "scripts" / "mark.sh").string() + " entry\n");
    // Another program's helper needs touch; nothing else is on PATH.
    fs::create_symlink("/usr/bin/touch", work / "bin" / "touch");

    if (::geteuid() == 0) {
        const passwd* nobody = ::getpwnam("nobody");
        if (nobody) {
            // The X server's cookie, readable by the soak's user.
            if (const char* auth = std::getenv("XAUTHORITY")) {
                WriteFile(work / "xauth", ReadFile(auth));
                Setenv("XAUTHORITY", work / "xauth");
            }
            ChownTree(work, nobody->pw_uid, nobody->pw_gid);
            if (::setgroups(0, nullptr) != 0 || ::setgid(nobody->pw_gid) != 0 ||
                ::setuid(nobody->pw_uid) != 0) {
                std::perror("soak: dropping root");
                std::_Exit(1);
            }
        }
    }
    Setenv("HOME", work / "home");
    Setenv("XDG_RUNTIME_DIR", work / "run");
    Setenv("XDG_CONFIG_HOME", work / "home" / ".config");
    Setenv("XDG_DATA_HOME", work / "home" / ".local" / "share");
    Setenv("XDG_CACHE_HOME", work / "home" / ".cache");
    Setenv("XDG_DATA_DIRS", work / "share"); // no desktop handlers to start
    Setenv("PATH", work / "bin");
    ::setenv("GIO_USE_VFS", "local", 1);
    ::setenv("GSETTINGS_BACKEND", "memory", 1);
    ::setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent", 1);
    if (!std::getenv("DISPLAY") && !std::getenv("QT_QPA_PLATFORM")) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
}

Driver::Driver(fs::path work, unsigned seed, int actions)
    : work_(std::move(work)), random_(seed), actions_(actions) {
    log_ = std::fopen((work_ / "actions.log").c_str(), "w");
    if (!log_) {
        log_ = stderr;
    }
    std::setvbuf(log_, nullptr, _IOLBF, 0);
    Log("seed " + std::to_string(seed) + ", " + std::to_string(actions) + " actions");
    for (const char* name : kScriptNames) {
        scripts_.push_back(work_ / "scripts" / name);
    }
    scripts_.push_back(work_ / "scripts" / "tool.desktop");

    const fs::path program = work_ / "program";
    auto link = [&](const char* folder, const char* name, const fs::path& target) {
        WriteFile(program / "Shortcuts" / folder / name,
                  "[Shell Link]\nTarget=" + target.string() + "\nArguments=launched\n");
    };
    link("1/1", "mark.lnk", scripts_[0]);
    link("1/2", "other.lnk", scripts_[2]);
    link("2/1", "spaced.lnk", scripts_[1]);
    WriteFile(program / "batches.lst",
              "[Morning]\r\nID=1\r\nItem0=File;1\\;Active\r\nItem1=Interval;0:00:01;Active\r\n"
              "Item2=File;2\\;Inactive\r\n[ Spaced ]\r\nID=2\r\nItem0=File;1\\;Active\r\n"
              "[Empty]\r\nID=3\r\n");
    files_ = std::make_unique<ProgramFiles>(program / "korvane");
    other_ = std::make_unique<ProgramFiles>(program / "korvane");
}

Driver::~Driver() {
    stop_ = true;
    if (watchdog_.joinable()) {
        watchdog_.join();
    }
    if (log_ && log_ != stderr) {
        std::fclose(log_);
    }
}

void Driver::OpenEditor() {
    form_.reset();
    form_ = std::make_unique<TForm1>(*files_);
    form_->chooseApplications = [this] {
        // Cancelled now and then, otherwise one application or several.
        QStringList picked;
        const int count = Chance(20) ? 0 : Chance(30) ? 3 : 1;
        for (int i = 0; i < count; ++i) {
            picked << QString::fromStdString(utf8::FromPath(AnyScript()));
        }
        Log("  the application picker answers \"" + picked.join("\", \"").toStdString() + "\"");
        return picked;
    };
    auto launch = [this](const std::string& what, const std::function<void()>& run) {
        if (launching_) {
            Fail("a launch started inside a running one: " + what);
        }
        Log("  launch " + what);
        launching_ = true;
        struct Done {
            bool& flag;
            ~Done() { flag = false; }
        } done{launching_};
        run();
    };
    auto hooks = [] {
        RunnerHooks h;
        h.processMessages = [] { QCoreApplication::processEvents(); };
        h.sleep = [](std::chrono::milliseconds ms) { // pauses shortened
            std::this_thread::sleep_for(std::min(ms, std::chrono::milliseconds(20)));
        };
        return h;
    };
    form_->launchBatch = [this, launch, hooks](const std::string& batch) {
        launch(batch, [&] { LaunchBatch(*files_, batch, hooks()); });
    };
    form_->launchItem = [this, launch, hooks](const std::string& batch, int index) {
        launch(batch + " #" + std::to_string(index),
               [&] { LaunchItem(*files_, batch, index, hooks()); });
    };
    form_->shellOpen = [this](const fs::path& file, const std::string& parameters,
                              const fs::path&) {
        Log("  shell open " + file.string() + " " + parameters);
    };
    form_->show();
}

int Driver::Run() {
    QApplication::setQuitOnLastWindowClosed(false); // the soak ends it
    OpenEditor();

    lastTick_ = Now();
    watchdog_ = std::thread([this] {
        while (!stop_) {
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            if (Now() - lastTick_ > 60000) {
                Log("FAILED: the editor has not answered for 60 s");
                std::abort();
            }
        }
    });
    QTimer::singleShot(300, this, &Driver::Tick);
    QApplication::exec();
    return result_;
}

void Driver::Log(const std::string& line) {
    std::fprintf(log_, "%s\n", line.c_str());
}

void Driver::Fail(const std::string& why) {
    Log("FAILED: " + why);
    Log("batches.lst:\n" + ReadFile(files_->catalogue.FileName()));
    std::string shown = "batch list:";
    for (const std::string& c : form_->BatchCaptions()) {
        shown += " [" + c + "]";
    }
    Log(shown);
    // What might hold the editor back: windows open, an edit under way.
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->isVisible()) {
            Log(std::string("window: ") + w->metaObject()->className() + " " +
                w->objectName().toStdString() + (w->isModal() ? " (modal)" : ""));
        }
    }
    Log(std::string("batch list editing: ") + (form_->batchList()->Editing() ? "yes" : "no"));
    std::fflush(log_);
    std::_Exit(1); // the parent keeps the folder
}

fs::path Driver::AnyScript() {
    return scripts_[Pick(static_cast<int>(scripts_.size()))];
}

std::string Driver::HostileText() {
    static const char* const pieces[] = {
        " lead", "trail ", "[x]", "a=b", "\"q\"", "'s", "\xc3\xbc", "\xe4\xb8\xad\xe6\x96\x87",
        "CASE",  "case",   ";",   "\\",  "/",     "%",  "#",        "Morning",
        "Empty", " ",      "x"};
    std::string text;
    const int n = 1 + Pick(3);
    for (int i = 0; i < n; ++i) {
        text += pieces[Pick(std::size(pieces))];
    }
    if (Chance(3)) {
        text += std::string(300, 'L');
    }
    return text;
}

void Driver::Tick() {
    lastTick_ = Now();
    if (finished_) {
        return;
    }
    QTimer::singleShot(Chance(30) ? 30 : 2, this, &Driver::Tick); // before acting: a dialog's loop
    if (checking_) {
        // Only what a check's wait brought up (a message) is answered.
        if (QWidget* modal = QApplication::activeModalWidget()) {
            QTest::keyClick(modal, Qt::Key_Escape);
        }
        return;
    }
    // A person's input waits while the program runs events by itself (a
    // list filled under a dialog being shown); it reaches the program only
    // in an event loop that an action is waiting on (a dialog, a menu).
    const int level = QThread::currentThread()->loopLevel();
    if (!levels_.empty() && level <= levels_.back()) {
        return;
    }
    if (done_ >= actions_) {
        Finish();
        return;
    }
    // An in-place edit holds back reloads, as a dialog does.
    auto* batches = form_->findChild<QWidget*>("BatchList");
    const bool inPlace = batches && batches->findChild<QLineEdit*>() &&
                         batches->findChild<QLineEdit*>()->isVisible();
    const bool quiet = levels_.empty() && !launching_ && !inPlace &&
                       !QApplication::activePopupWidget() && !QApplication::activeModalWidget();
    if (quiet && !form_->isVisible()) {
        // Exit, or the switch to the startup menu: the user starts it again.
        Log("the editor was closed; it is started again");
        OpenEditor();
        return;
    }
    if (quiet && done_ > 0 && done_ % 10 == 0 && checkedAt_ != done_) {
        checkedAt_ = done_;
        Check(("after action " + std::to_string(done_)).c_str());
        return;
    }
    if (launching_) {
        return; // the editor is away; the run goes on under this tick
    }
    ++done_;
    levels_.push_back(level);
    Act();
    levels_.pop_back();
}

void Driver::Act() {
    if (QWidget* popup = QApplication::activePopupWidget()) {
        ActOnPopup(popup);
    } else if (QWidget* modal = QApplication::activeModalWidget()) {
        ActOnDialog(modal);
    } else if (const auto sheets = OpenSheets();
               !sheets.empty() && (Chance(50) || sheets.size() > 2)) {
        ActOnDialog(sheets[Pick(static_cast<int>(sheets.size()))]);
    } else if (Chance(8)) {
        OutsideChange();
    } else if (Chance(4)) {
        DropFiles();
    } else {
        ActOnEditor();
    }
}

void Driver::ActOnPopup(QWidget* popup) {
    QWidget* target = popup->focusWidget() ? popup->focusWidget() : popup;
    if (Chance(25)) {
        Log(std::to_string(done_) + " menu: Escape");
        QTest::keyClick(target, Qt::Key_Escape);
        return;
    }
    const int downs = Pick(6);
    Log(std::to_string(done_) + " menu: Down x" + std::to_string(downs) + ", Return");
    for (int i = 0; i < downs; ++i) {
        QTest::keyClick(target, Qt::Key_Down);
    }
    QTest::keyClick(target, Qt::Key_Return);
}

} // namespace korvane::soak

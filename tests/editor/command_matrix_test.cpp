// Every command a user gives, under every fault that applies to it: the
// batch deleted or renamed by another program while the command's dialog is
// open, a read-only catalogue or folders, a full disk or no inode left, links
// into a sentinel tree, named pipes where files should be. After each cell
// the state folder is sound (see World::Broken), the sentinel tree is as it
// was, and a command that did not do what it says has told the user.
#include "editor/editor_window.h"
#include "editor/link_properties.h"
#include "editor/pick_list_dialog.h"
#include "editor_rig.h"
#include "gui/error_report.h"
#include "matrix_world.h"
#include "menu/startup_menu.h"
#include "shell/batch_shortcut.h"
#include "shell/session_autostart.h"
#include "store/catalogue_edit.h"
#include "store/file_io.h"
#include "store/sweep.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QStatusBar>
#include <QTimeEdit>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include <functional>
#include <grp.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using korvane::test::Fault;
using korvane::test::World;

namespace {

constexpr uid_t kNobody = 65534;

// The editor as the window layer starts it on the world's state folder: the
// catalogue checked (a failure reported), the leftovers swept, the window
// shown; its dialogs answered as a person would, with the fault of the cell
// happening while they are open.
struct Session {
    explicit Session(World& w) : world(w) {
        korvane::SetErrorSink([this](const QString& m) { told << m; });
        try {
            korvane::CheckReadable(w.files->catalogue);
            korvane::SweepLeftovers(*w.files);
        } catch (const std::exception& error) {
            told << error.what();
        }
        form = std::make_unique<korvane::TForm1>(*w.files);
        form->chooseApplications = [this] {
            world.Meanwhile("A");
            return picked;
        };
        form->runIntervalDialog = [this](korvane::TForm3& dialog) {
            dialog.findChild<QTimeEdit*>("DateTimePicker1")->setTime(QTime(0, 0, 5));
            world.Meanwhile("A");
            return true;
        };
        form->runPickList = [this](korvane::TPickListForm& dialog) {
            for (int i = 0; i < dialog.PickList->count(); ++i) {
                dialog.PickList->item(i)->setCheckState(Qt::Checked);
            }
            world.Meanwhile("A");
            QTest::mouseClick(dialog.ConfirmButton, Qt::LeftButton);
            return dialog.result() == QDialog::Accepted;
        };
        form->shellOpen = [](const fs::path&, const std::string&, const fs::path&) {};
        form->show();
        form->activateWindow();
        (void)QTest::qWaitForWindowActive(form.get());
    }
    ~Session() { korvane::SetErrorSink({}); }

    QListWidget* batches() { return form->findChild<QListWidget*>("BatchList"); }
    QTreeWidget* items() { return form->findChild<QTreeWidget*>("AppList"); }
    // The batch's row selected with a click, unless it is already (a click
    // on the selected row would begin renaming it).
    bool clickBatch(const QString& name) {
        for (int i = 0; i < batches()->count(); ++i) {
            QListWidgetItem* row = batches()->item(i);
            if (row->text() == name) {
                if (!row->isSelected()) {
                    hands().clickBatch(row);
                }
                return true;
            }
        }
        return false;
    }
    korvane::test::EditorHands hands() { return korvane::test::EditorHands(*form); }

    // Runs a command whose modal dialogs answer answers as they appear; each
    // answer runs from the event loop, so that a dialog it opens in turn is
    // answered too.
    void WithDialogs(QAction* action, const std::function<bool(QWidget* dialog)>& answer) {
        QTimer poll;
        poll.setInterval(20);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal || modal == form.get()) {
                return;
            }
            poll.stop();
            QTimer::singleShot(0, modal, [&, modal] {
                poll.start();
                if (!answer(modal)) {
                    QTest::keyClick(modal, Qt::Key_Escape); // not the dialog meant
                }
            });
        });
        poll.start();
        form->UpdateActions();
        action->trigger();
    }
    bool toldSomething() {
        return !told.isEmpty() ||
               !form->findChild<QStatusBar*>("StatusBar1")->currentMessage().isEmpty();
    }

    World& world;
    QStringList told;
    QStringList picked;
    std::unique_ptr<korvane::TForm1> form;
};

korvane::TIniFile Catalogue(const World& w) {
    return korvane::TIniFile(w.prog / "batches.lst");
}

int Items(const World& w, const std::string& batch) {
    return korvane::ItemCount(Catalogue(w), batch);
}

std::string Entry(const World& w, const std::string& batch, int n) {
    return Catalogue(w).ReadText(batch, korvane::ItemKey(n), "");
}

// A command: what the user does, and whether it did what it says.
struct Command {
    const char* name;
    bool dialog; // it has a dialog, during which another program may act
    bool commandLine;
    std::function<bool(World&)> run; // true when told of any failure
    std::function<bool(const World&)> done;
};

bool InEditor(World& w, const std::function<void(Session&)> act) {
    Session s(w);
    act(s);
    return s.toldSomething();
}

// Whether a link file the program made is left in a folder (not through a
// link to one).
bool HoldsALink(const fs::path& folder) {
    std::error_code ec;
    if (fs::is_symlink(folder, ec)) {
        return true;
    }
    for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (!it->is_symlink(ec) && it->is_regular_file(ec) && it->path().extension() == ".lnk") {
            return true;
        }
    }
    return false;
}

// A file added from the picker, the file dialog or a drop: one more item
// whose folder holds its file.
bool AddedOne(const World& w, int before) {
    if (Items(w, "A") != before + 1) {
        return false;
    }
    korvane::tqAppInfo item;
    korvane::DecodeItemEntry(Entry(w, "A", before), item);
    const auto folder = korvane::ItemFolder(w.prog / "Shortcuts" / "1", item.Folder);
    return folder && !korvane::FindItemFile(*folder).empty();
}

Command Adding(const char* name, const std::string& relative) {
    return {name, true, false,
            [relative](World& w) {
                return InEditor(w, [&](Session& s) {
                    s.picked = {QString::fromStdString((w.outside / relative).string())};
                    s.clickBatch("A");
                    s.hands().clickTool(s.form->aAddApplication);
                });
            },
            [](const World& w) { return AddedOne(w, 3); }};
}

std::vector<Command> Commands() {
    std::vector<Command> commands;
    commands.push_back({"add batch", false, false,
                        [](World& w) {
                            return InEditor(w, [](Session& s) {
                                s.hands().clickTool(s.form->aAddBatch);
                                s.hands().typeBatchName("Fresh", true);
                            });
                        },
                        [](const World& w) { return Catalogue(w).HasSection("Fresh"); }});
    commands.push_back({"rename batch", true, false,
                        [](World& w) {
                            return InEditor(w, [&](Session& s) {
                                if (s.clickBatch("A")) {
                                    QTest::keyClick(s.batches(), Qt::Key_F2);
                                    w.Meanwhile("A");
                                    s.hands().typeBatchName("Renamed", true);
                                }
                            });
                        },
                        [](const World& w) {
                            return Catalogue(w).ReadText("Renamed", "ID", "") == "1" &&
                                   !Catalogue(w).HasSection("A");
                        }});
    commands.push_back({"delete batch", false, false,
                        [](World& w) {
                            return InEditor(w, [](Session& s) {
                                s.clickBatch("A");
                                s.form->UpdateActions();
                                QTest::keyClick(s.batches(), Qt::Key_Delete);
                            });
                        },
                        [](const World& w) {
                            // What the program put there went; what it did not may stay.
                            return !Catalogue(w).HasSection("A") &&
                                   !HoldsALink(w.prog / "Shortcuts" / "1");
                        }});
    commands.push_back(
        {"batch properties", true, false,
         [](World& w) {
             return InEditor(w, [&](Session& s) {
                 s.clickBatch("A");
                 s.WithDialogs(s.form->aBatchProperties, [&](QWidget* dialog) {
                     if (dialog->objectName() != "BatchPropertiesForm") {
                         return false;
                     }
                     w.Meanwhile("A");
                     QTest::mouseClick(dialog->findChild<QCheckBox*>("ShowInStartupCheck"),
                                       Qt::LeftButton);
                     QTest::mouseClick(dialog->findChild<QPushButton*>("Button1"), Qt::LeftButton);
                     dialog->close(); // closed when Save was refused
                     return true;
                 });
             });
         },
         [](const World& w) { return Catalogue(w).ReadText("A", "ShowInStartup", "") == "0"; }});
    commands.push_back(
        {"batch icon", true, false,
         [](World& w) {
             return InEditor(w, [&](Session& s) {
                 s.clickBatch("A");
                 s.WithDialogs(s.form->aBatchProperties, [&](QWidget* dialog) {
                     if (dialog->objectName() == "Form5") { // the icon chooser
                         auto* icons = dialog->findChild<QListWidget*>("ListView1");
                         if (icons->count() > 0) {
                             QTest::mouseClick(icons->viewport(), Qt::LeftButton, {},
                                               icons->visualItemRect(icons->item(1)).center());
                         }
                         w.Meanwhile("A");
                         QTest::mouseClick(dialog->findChild<QPushButton*>("Button2"),
                                           Qt::LeftButton);
                         return true;
                     }
                     if (dialog->objectName() != "BatchPropertiesForm") {
                         return false;
                     }
                     if (!dialog->property("iconAsked").toBool()) {
                         dialog->setProperty("iconAsked", true);
                         QTest::mouseClick(dialog->findChild<QPushButton*>("Button3"),
                                           Qt::LeftButton);
                         return true;
                     }
                     QTest::mouseClick(dialog->findChild<QPushButton*>("Button1"), Qt::LeftButton);
                     dialog->close();
                     return true;
                 });
             });
         },
         [](const World& w) { return !Catalogue(w).ReadText("A", "IconFile", "").empty(); }});
    commands.push_back({"make shortcut", false, false,
                        [](World& w) {
                            return InEditor(w, [](Session& s) {
                                s.clickBatch("A");
                                s.hands().clickTool(s.form->aMakeShortcut);
                            });
                        },
                        [](const World& w) {
                            return !korvane::shell::FindBatchShortcut(
                                        w.outside / "home" / "Desktop", w.prog / "korvane", "A")
                                        .empty();
                        }});
    commands.push_back(Adding("add from the picker", "apps/Tool.desktop"));
    commands.push_back(Adding("add a program file", "bin/tool.sh"));
    commands.push_back(Adding("add a link file", "src/Tool.lnk"));
    commands.push_back(
        {"drop files", false, false,
         [](World& w) {
             return InEditor(w, [&](Session& s) {
                 s.clickBatch("A");
                 QMimeData data;
                 data.setUrls({QUrl::fromLocalFile(QString::fromStdString(w.tool.string())),
                               QUrl::fromLocalFile(
                                   QString::fromStdString((w.outside / "src/Tool.lnk").string()))});
                 QWidget* target = s.items()->viewport();
                 QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
                 QApplication::sendEvent(target, &enter);
                 QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
                 QApplication::sendEvent(target, &drop);
             });
         },
         [](const World& w) { return Items(w, "A") == 5 && AddedOne(w, 4); }});
    commands.push_back(
        {"add pause", true, false,
         [](World& w) {
             return InEditor(w, [](Session& s) {
                 s.clickBatch("A");
                 s.hands().clickTool(s.form->aAddPause);
             });
         },
         [](const World& w) { return Entry(w, "A", 3) == "Interval;0:00:05;Active"; }});
    commands.push_back({"switch an item off", false, false,
                        [](World& w) {
                            return InEditor(w, [](Session& s) {
                                s.clickBatch("A");
                                s.hands().clickCheckBox(0);
                            });
                        },
                        [](const World& w) { return Entry(w, "A", 0) == "File;1\\;Disabled"; }});
    commands.push_back(
        {"move an item up", false, false,
         [](World& w) {
             return InEditor(w, [](Session& s) {
                 s.clickBatch("A");
                 s.hands().clickItem(1);
                 s.hands().clickTool(s.form->aUp);
             });
         },
         [](const World& w) { return Entry(w, "A", 0) == "Interval;0:00:00;Active"; }});
    commands.push_back({"delete an item", false, false,
                        [](World& w) {
                            return InEditor(w, [](Session& s) {
                                s.clickBatch("A");
                                s.hands().clickItem(2);
                                s.form->UpdateActions(); // as the idle update does
                                QTest::keyClick(s.items(), Qt::Key_Delete);
                            });
                        },
                        [](const World& w) {
                            return Items(w, "A") == 2 &&
                                   !HoldsALink(w.prog / "Shortcuts" / "1" / "2");
                        }});
    commands.push_back(
        {"item sheet with a wait", true, false,
         [](World& w) {
             return InEditor(w, [&](Session& s) {
                 s.clickBatch("A");
                 s.hands().clickItem(2);
                 s.form->UpdateActions(); // as the idle update does
                 QTest::keyClick(s.items(), Qt::Key_Return);
                 auto* sheet = s.form->findChild<korvane::TLinkPropertiesForm*>();
                 if (!sheet) {
                     return; // the message said why
                 }
                 w.Meanwhile("A");
                 auto* kind = sheet->findChild<QComboBox*>("WaitKindCombo");
                 kind->setCurrentIndex(kind->findText("Wait until its window appears"));
                 QTest::mouseClick(sheet->findChild<QPushButton*>("OKButton"), Qt::LeftButton);
                 sheet->close();
             });
         },
         [](const World& w) { return Catalogue(w).ReadText("A", "Wait2", "") == "Window;60"; }});
    commands.push_back({"options", true, false,
                        [](World& w) {
                            return InEditor(w, [&](Session& s) {
                                s.WithDialogs(s.form->aOptions, [&](QWidget* dialog) {
                                    auto* combo = dialog->findChild<QComboBox*>("BatchCombo");
                                    combo->setFocus();
                                    QTest::keyClick(combo, Qt::Key_End); // the user picks B
                                    w.Meanwhile("B");
                                    QTest::mouseClick(dialog->findChild<QPushButton*>("Button1"),
                                                      Qt::LeftButton);
                                    dialog->close();
                                    return true;
                                });
                            });
                        },
                        [](const World& w) {
                            return korvane::TIniFile(w.prog / "korvane.ini")
                                       .ReadText("Basic", "DefaultBatch", "") == "B";
                        }});
    commands.push_back({"import from autostart", true, false,
                        [](World& w) {
                            return InEditor(w, [](Session& s) {
                                s.clickBatch("A");
                                s.form->UpdateActions();
                                s.form->aImportAutostart->trigger();
                            });
                        },
                        [](const World& w) {
                            return AddedOne(w, 3) &&
                                   korvane::test::ReadFile(w.outside /
                                                           "home/config/autostart/Foo.desktop")
                                           .find("Hidden=true") != std::string::npos;
                        }});
    commands.push_back({"give back to autostart", true, false,
                        [](World& w) {
                            return InEditor(w, [](Session& s) {
                                s.form->UpdateActions();
                                s.form->aGiveBackAutostart->trigger();
                            });
                        },
                        [](const World& w) {
                            return korvane::test::ReadFile(w.outside /
                                                           "home/config/autostart/Foo.desktop")
                                       .find("Hidden") == std::string::npos;
                        }});
    commands.push_back({"launch from the editor", false, false,
                        [](World& w) {
                            return InEditor(w, [](Session& s) {
                                s.clickBatch("A");
                                s.hands().clickTool(s.form->aLaunchBatch);
                            });
                        },
                        [](const World& w) { return w.Started(2) >= 2; }});
    commands.push_back({"launch from the menu", false, false,
                        [](World& w) {
                            QStringList told;
                            korvane::SetErrorSink([&](const QString& m) { told << m; });
                            try {
                                korvane::CheckReadable(w.files->catalogue);
                            } catch (const std::exception& error) {
                                told << error.what();
                            }
                            {
                                korvane::TForm2 menu(*w.files);
                                menu.show();
                                auto* list = menu.findChild<QListWidget*>("ListView1");
                                QTest::keyClick(list, Qt::Key_Return);
                            }
                            korvane::SetErrorSink({});
                            return !told.isEmpty() || w.Notices() > 0;
                        },
                        [](const World& w) { return w.Started(2) >= 2; }});
    commands.push_back(
        {"launch from the command line", false, true,
         [](World& w) {
             const std::string command = "timeout 30 '" + (w.prog / "korvane").string() +
                                         "' A </dev/null >/dev/null 2>'" +
                                         (w.outside / "stderr.txt").string() + "'";
             const int status = std::system(command.c_str());
             const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
             // Scripts learn of a failure by the exit code, with the reason on stderr.
             return code != 0 && code != 124 &&
                    (code != 1 || !korvane::test::ReadFile(w.outside / "stderr.txt").empty());
         },
         [](const World& w) { return w.Started(2) >= 2; }});
    return commands;
}

const std::vector<Command>& AllCommands() {
    static const std::vector<Command> commands = Commands();
    return commands;
}

const Fault kFaults[] = {Fault::None,
                         Fault::DeletedMeanwhile,
                         Fault::RenamedMeanwhile,
                         Fault::ReadOnlyCatalogue,
                         Fault::ReadOnlyFolders,
                         Fault::FullDisk,
                         Fault::NoInodes,
                         Fault::LinkedItemFolder,
                         Fault::LinkedBatchFolder,
                         Fault::PipeCatalogue,
                         Fault::PipeSettings,
                         Fault::PipeLink};

} // namespace

class CommandMatrixTest : public QObject {
    Q_OBJECT

  private slots:
    void cell_data() {
        QTest::addColumn<int>("command");
        QTest::addColumn<int>("fault");
        int n = 0;
        for (const Command& command : AllCommands()) {
            for (const Fault fault : kFaults) {
                if (!korvane::test::DuringDialog(fault) || command.dialog) {
                    QTest::newRow(
                        (std::string(command.name) + " / " + korvane::test::FaultName(fault))
                            .c_str())
                        << n << static_cast<int>(fault);
                }
            }
            ++n;
        }
    }

    void cell() {
        QFETCH(int, command);
        QFETCH(int, fault);
        const Command& c = AllCommands()[static_cast<std::size_t>(command)];
        const Fault f = static_cast<Fault>(fault);
        if (korvane::test::OnSmallDisk(f) && korvane::test::Disks().full.empty()) {
            QSKIP("a full disk is made as root only (a small tmpfs)");
        }
        if (f == Fault::ReadOnlyFolders && ::geteuid() == 0) {
            QSKIP("root ignores folder modes, and the test could not become an ordinary user");
        }
        World world(f, c.commandLine);
        if (std::string(c.name) == "give back to autostart") {
            const auto starts = korvane::shell::ListSessionStarts();
            QVERIFY(!starts.empty());
            korvane::shell::TakeFromSession(starts.front(), world.prog / "Taken from autostart");
        }
        world.Spoil();
        const bool told = c.run(world);
        const bool done = c.done(world); // as the files are, fault and all
        world.Mend();
        if (f == Fault::None) {
            QVERIFY2(done, "without a fault, it did not do what it says"); // the matrix's own check
        }
        QVERIFY2(done || told, "it did not do what it says, and nobody was told");
        if (std::string(c.name).starts_with("launch") &&
            (f == Fault::LinkedItemFolder || f == Fault::LinkedBatchFolder)) {
            // Nothing behind a link is started: the first item's folder is a
            // link too when the whole batch folder is one.
            const int allowed = f == Fault::LinkedItemFolder ? 1 : 0;
            QVERIFY2(world.Started(allowed + 1) == allowed, "a launch went through a link");
        }
        const std::vector<std::string> broken = world.Broken();
        std::string why;
        for (const std::string& b : broken) {
            why += "\n  " + b;
        }
        QVERIFY2(broken.empty(), why.c_str());
    }
};

namespace {

// The small disks of the full-disk faults, in a mount namespace of the
// test's own (they go with it); then the test becomes an ordinary user, so
// that file modes count.
void PrepareAsRoot() {
    if (::geteuid() != 0) {
        return;
    }
    if (::unshare(CLONE_NEWNS) == 0 &&
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0) {
        const fs::path root = fs::temp_directory_path() / "korvane-small-disks";
        const fs::path full = root / "full", inodes = root / "inodes";
        std::error_code ec;
        fs::create_directories(full, ec);
        fs::create_directories(inodes, ec);
        if (::mount("tmpfs", full.c_str(), "tmpfs", 0, "size=512m,mode=0777") == 0 &&
            ::mount("tmpfs", inodes.c_str(), "tmpfs", 0, "size=512m,nr_inodes=2000,mode=0777") ==
                0) {
            korvane::test::Disks() = {full, inodes};
        }
    }
    if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) {
        std::fprintf(stderr,
                     "could not become an ordinary user: the read-only cells are left out\n");
    }
}

} // namespace

int main(int argc, char** argv) {
    PrepareAsRoot();
    QApplication app(argc, argv);
    CommandMatrixTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "command_matrix_test.moc"

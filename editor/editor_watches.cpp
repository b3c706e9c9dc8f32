// The editor's watches: of the Shortcuts tree, of the catalogue, of the
// idle state, and of other processes' writes it has to wait for.
#include "editor/editor_internal.h"

#include "shell/folder_watch.h"
#include "store/file_io.h"

#include <QFileSystemWatcher>
#include <QStatusBar>
#include <QThread>
#include <QTimer>

namespace fs = std::filesystem;

namespace korvane {

// The folder of the batch shown; none while no batch is.
fs::path TForm1::WatchedBatchFolder() const {
    return CurrentBatchName().empty() ? fs::path() : BatchFolder(files_, CurrentBatchName());
}

// The watches of Shortcuts/ and of the catalogue, and the idle update.
void TForm1::StartWatches() {
    // The watch works on its own thread and hands each (folded) change to
    // this thread; one reload is queued at a time.
    // Only the shown batch's folders matter to the rows: another batch's are
    // read when it is shown.
    watch_ = std::make_unique<FolderWatch>(
        files_.folder / "Shortcuts", WatchedBatchFolder(),
        [this] {
            if (!reloadPending_.exchange(true)) {
                QMetaObject::invokeMethod(
                    this,
                    [this] {
                        reloadPending_ = false;
                        RequestReload(false);
                    },
                    Qt::QueuedConnection);
            }
        },
        [this](const std::string& message) {
            QMetaObject::invokeMethod(
                this, [this, message] { StatusBar1->showMessage(QStringFrom(message)); },
                Qt::QueuedConnection);
        });
    // batches.lst is replaced whole by this program and most others: its
    // folder tells of each new version. A text editor or a script may also
    // write into the file itself (">>", sed): the file is watched too, and
    // watched again once a replacement has taken its watch away. A burst of
    // changes is taken as one.
    auto* catalogueWatch = new QFileSystemWatcher(this);
    catalogueWatch->setObjectName(QStringLiteral("CatalogueWatch"));
    const QString catalogueFile = QStringFromPath(files_.catalogue.FileName());
    catalogueWatch->addPath(QStringFromPath(files_.folder));
    catalogueWatch->addPath(catalogueFile);
    auto* settle = new QTimer(this);
    settle->setSingleShot(true);
    settle->setInterval(50);
    connect(catalogueWatch, &QFileSystemWatcher::directoryChanged, settle,
            qOverload<>(&QTimer::start));
    connect(catalogueWatch, &QFileSystemWatcher::fileChanged, settle, qOverload<>(&QTimer::start));
    connect(settle, &QTimer::timeout, this, [this, catalogueWatch, catalogueFile] {
        if (!catalogueWatch->files().contains(catalogueFile)) {
            catalogueWatch->addPath(catalogueFile);
        }
        RequestReload(true);
    });
    auto* idle = new QTimer(this);
    idle->setInterval(150);
    connect(idle, &QTimer::timeout, this, [this] {
        UpdateActions();
        RunDeferredReloads();
    });
    idle->start();
}

void TForm1::SayWhenWaitingForOthers() {
    // A command that waits for another Korvane's write says so, rather than
    // seeming to hang.
    FolderLock::SetWaitNotice([this](bool waiting) {
        const auto say = [this, waiting] {
            if (waiting) {
                StatusBar1->showMessage(
                    QString::fromUtf8("Waiting for another Korvane to finish writing\u2026"));
                StatusBar1->repaint(); // the thread is busy waiting: drawn now
            } else {
                StatusBar1->clearMessage();
            }
        };
        if (QThread::currentThread() == thread()) {
            say();
        } else {
            QMetaObject::invokeMethod(this, say, Qt::QueuedConnection);
        }
    });
}

} // namespace korvane

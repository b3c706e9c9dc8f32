// The editor and other programs at the same files: a text editor or a script
// writing into batches.lst itself, another Korvane holding the lock.
#include "editor_rig.h"
#include "gui/error_report.h"
#include "test_support.h"

#include <QStatusBar>
#include <QtTest>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

using korvane::test::EditorHands;
using korvane::test::EditorRig;

class EditorFaultsTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        korvane::SetErrorSink([this](const QString& m) { messages << m; });
        messages.clear();
    }

    // ">>" and sed without -i write into the file, which no replacement of
    // it tells of: the lists follow all the same, again and again.
    void writesIntoTheCatalogueItselfAreSeen() {
        EditorRig rig("[A]\r\nID=1\r\n");
        const auto append = [&](const std::string& text) {
            const int fd = ::open((rig.dir / "batches.lst").c_str(), O_WRONLY | O_APPEND);
            QVERIFY(fd >= 0);
            QVERIFY(::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()));
            ::close(fd);
        };
        append("[B]\r\nID=2\r\n");
        QTRY_COMPARE(rig.form->BatchCaptions(), (std::vector<std::string>{"A", "B"}));
        // After a replacement (which takes the file's watch along) too.
        korvane::TIniFile(rig.files.catalogue.FileName()).WriteText("C", "ID", "3");
        QTRY_COMPARE(rig.form->BatchCaptions(), (std::vector<std::string>{"A", "B", "C"}));
        append("[D]\r\nID=4\r\n");
        QTRY_COMPARE(rig.form->BatchCaptions(), (std::vector<std::string>{"A", "B", "C", "D"}));
    }

    // Another Korvane holds the lock: the command waits for it, and after a
    // second the status line says what it waits for.
    void waitingForAnotherWriterIsSaid() {
        EditorRig rig("[A]\r\nID=1\r\n");
        int held[2], release[2];
        QVERIFY(::pipe(held) == 0 && ::pipe(release) == 0);
        const pid_t other = ::fork();
        if (other == 0) {
            const int fd = ::open(rig.dir.path().c_str(), O_RDONLY | O_DIRECTORY);
            ::flock(fd, LOCK_EX);
            (void)!::write(held[1], "x", 1);
            char c;
            (void)!::read(release[0], &c, 1);
            ::_exit(0); // the lock goes with the process
        }
        char c = 0;
        QCOMPARE(::read(held[0], &c, 1), 1);
        // Once the line says so, the other process is done.
        QStringList said;
        auto* status = rig.form->findChild<QStatusBar*>("StatusBar1");
        connect(status, &QStatusBar::messageChanged, this, [&](const QString& text) {
            said << text;
            if (text.startsWith("Waiting")) {
                (void)!::write(release[1], "x", 1);
            }
        });
        EditorHands{rig}.clickTool(rig.form->aAddBatch);
        ::waitpid(other, nullptr, 0);
        QCOMPARE(said.value(0),
                 QString::fromUtf8("Waiting for another Korvane to finish writing\u2026"));
        QVERIFY(status->currentMessage().isEmpty());
        QCOMPARE(rig.form->BatchCaptions(), (std::vector<std::string>{"A", "New batch"}));
        QVERIFY(messages.isEmpty());
    }

  private:
    QStringList messages;
};

QTEST_MAIN(EditorFaultsTest)
#include "editor_faults_posix_test.moc"

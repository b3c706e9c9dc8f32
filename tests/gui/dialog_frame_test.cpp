// Dialogs of one size and dialogs shown again: where and how large they open.
#include "gui/dialog_frame.h"

#include <QDialog>
#include <QLabel>
#include <QVBoxLayout>
#include <QtTest>

class DialogFrameTest : public QObject {
    Q_OBJECT

  private slots:
    void aDialogShownAgainOpensOverItsParentWhereverItIsNow() {
        QWidget parent;
        parent.setGeometry(100, 100, 600, 400);
        parent.show();
        QDialog dialog(&parent);
        dialog.resize(200, 100);
        korvane::CentreOnEveryShow(&dialog);
        for (const QPoint& at : {QPoint(100, 100), QPoint(300, 200), QPoint(0, 0)}) {
            parent.move(at);
            QCoreApplication::processEvents();
            dialog.show();
            QCOMPARE(dialog.geometry().center(), parent.geometry().center());
            dialog.move(dialog.pos() + QPoint(40, 40)); // the user moves it, then closes it
            dialog.hide();
        }
    }

    void aFixedDialogFitsItsContentAndOffersNoMaximize() {
        QDialog dialog;
        auto* layout = new QVBoxLayout(&dialog);
        layout->addWidget(new QLabel(QString(80, QLatin1Char('x')), &dialog));
        korvane::FixDialogSize(&dialog, QSize(100, 50));
        QVERIFY(dialog.width() > 100); // the text is wider than the designed size
        QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
        QVERIFY(!(dialog.windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(!(dialog.windowFlags() & Qt::WindowMinimizeButtonHint));
        QVERIFY(dialog.windowFlags() & Qt::WindowCloseButtonHint);

        QDialog small;
        korvane::FixDialogSize(&small, QSize(300, 200));
        QCOMPARE(small.size(), QSize(300, 200));
    }
};

QTEST_MAIN(DialogFrameTest)
#include "dialog_frame_test.moc"

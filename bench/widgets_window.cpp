// A Qt window made of the kinds of widgets the editor shows (a menu bar, tool
// buttons with captions, a list beside a tree with a header, a status bar),
// filled with a few lines of text and nothing else. What Qt itself needs for
// such a window, against which the editor's own share can be seen.
#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QSplitter>
#include <QStatusBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* menuBar = new QMenuBar(&window);
    for (const char* title : {"&File", "&View", "&Batches", "&Applications", "&Help"}) {
        QMenu* menu = menuBar->addMenu(QString::fromLatin1(title));
        menu->addAction(QStringLiteral("&Open"));
        menu->addAction(QStringLiteral("&Close"));
    }
    layout->setMenuBar(menuBar);
    auto* bar = new QWidget(&window);
    auto* buttons = new QHBoxLayout(bar);
    for (const char* caption : {"Add batch", "Launch", "Make shortcut", "Add application"}) {
        auto* button = new QToolButton(bar);
        button->setText(QString::fromLatin1(caption));
        button->setAutoRaise(true);
        buttons->addWidget(button);
    }
    layout->addWidget(bar);
    auto* splitter = new QSplitter(&window);
    auto* list = new QListWidget(splitter);
    auto* tree = new QTreeWidget(splitter);
    tree->setHeaderLabels({QStringLiteral("File"), QStringLiteral("Order"), QStringLiteral("Type")});
    for (int i = 1; i <= 8; ++i) {
        list->addItem(QStringLiteral("Batch %1").arg(i));
        new QTreeWidgetItem(tree, {QStringLiteral("Item %1").arg(i), QString::number(i),
                                   QStringLiteral("Application")});
    }
    layout->addWidget(splitter, 1);
    auto* status = new QStatusBar(&window);
    status->addWidget(new QLabel(QStringLiteral("Items count: 8"), status), 1);
    layout->addWidget(status);
    window.resize(658, 378);
    window.show();
    return app.exec();
}

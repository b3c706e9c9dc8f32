// What the soak's hands do: on a dialog, on the editor, and as another
// program on the same files.
#include "soak_driver.h"

#include "editor/editor_window.h"
#include "layout/published_controls.h"
#include "other_process.h"
#include "store/catalogue_edit.h"
#include "store/utf8.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QToolBar>
#include <QTreeWidget>
#include <QtTest>

namespace fs = std::filesystem;

namespace korvane::soak {

namespace {

void Type(QWidget* target, const QString& text) {
    for (const QChar c : text) {
        QTest::sendKeyEvent(QTest::Click, target, Qt::Key_unknown, QString(c), {});
    }
}

template <class W> std::vector<W*> Usable(QWidget* parent) {
    std::vector<W*> found;
    for (W* w : parent->findChildren<W*>()) {
        if (w->isVisible() && w->isEnabled()) {
            found.push_back(w);
        }
    }
    return found;
}

std::string Name(const QObject* o) {
    const QString name = o->objectName();
    if (!name.isEmpty()) {
        return name.toStdString();
    }
    if (const auto* b = qobject_cast<const QAbstractButton*>(o)) {
        return "\"" + b->text().toStdString() + "\"";
    }
    return o->metaObject()->className();
}

// A file: URL of a path's bytes, as a file manager offers one.
QByteArray UriOf(const fs::path& path) {
    return "file://" + QByteArray::fromStdString(path.string()).toPercentEncoding("/");
}

struct Key {
    const char* name;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
};

const Key kEditorKeys[] = {
    {"Insert", Qt::Key_Insert, {}},
    {"Delete", Qt::Key_Delete, {}},
    {"F2", Qt::Key_F2, {}},
    {"Return", Qt::Key_Return, {}},
    {"Escape", Qt::Key_Escape, {}},
    {"Up", Qt::Key_Up, {}},
    {"Down", Qt::Key_Down, {}},
    {"Home", Qt::Key_Home, {}},
    {"End", Qt::Key_End, {}},
    {"Ctrl+Up", Qt::Key_Up, Qt::ControlModifier},
    {"Ctrl+Down", Qt::Key_Down, Qt::ControlModifier},
    {"Alt+Up", Qt::Key_Up, Qt::AltModifier},
    {"Alt+Down", Qt::Key_Down, Qt::AltModifier},
    {"Ctrl+Return", Qt::Key_Return, Qt::ControlModifier},
    {"Tab", Qt::Key_Tab, {}},
    {"Space", Qt::Key_Space, {}},
    {"F1", Qt::Key_F1, {}},
    {"Ctrl+A", Qt::Key_A, Qt::ControlModifier},
};

} // namespace

void Driver::ActOnDialog(QWidget* dialog) {
    const std::string at = std::to_string(done_) + " " + Name(dialog) + ": ";
    const int count = dialog->property("soakActions").toInt() + 1;
    dialog->setProperty("soakActions", count);
    if (count > 15) { // enough: closed as a person would, then for sure
        Log(at + "Escape (closing)");
        QTest::keyClick(dialog, Qt::Key_Escape);
        if (count > 18) {
            dialog->close();
        }
        return;
    }
    if (auto* files = qobject_cast<QFileDialog*>(dialog)) {
        if (Chance(50)) {
            Log(at + "cancelled");
            files->reject();
        } else {
            const fs::path file = Chance(80) ? AnyScript() : work_ / "scripts";
            Log(at + "picks " + file.string());
            files->selectFile(QString::fromStdString(utf8::FromPath(file)));
            static_cast<QDialog*>(files)->accept(); // as "Open" does
        }
        return;
    }
    if (auto* box = qobject_cast<QMessageBox*>(dialog)) {
        const auto buttons = box->buttons();
        if (!buttons.isEmpty()) {
            QAbstractButton* b = buttons[Pick(static_cast<int>(buttons.size()))];
            Log(at + "message \"" + box->text().left(80).toStdString() + "\", clicks " + Name(b));
            QTest::mouseClick(b, Qt::LeftButton);
            return;
        }
    }
    const int r = Pick(100);
    if (const auto buttons = Usable<QAbstractButton>(dialog); r < 35 && !buttons.empty()) {
        QAbstractButton* b = buttons[Pick(static_cast<int>(buttons.size()))];
        Log(at + "clicks " + Name(b));
        QTest::mouseClick(b, Qt::LeftButton);
    } else if (const auto edits = Usable<QLineEdit>(dialog); r < 60 && !edits.empty()) {
        QLineEdit* edit = edits[Pick(static_cast<int>(edits.size()))];
        const std::string text = HostileText();
        Log(at + "types \"" + text + "\" in " + Name(edit));
        edit->setFocus();
        if (Chance(60)) {
            edit->selectAll();
        }
        Type(edit, QString::fromStdString(text));
    } else if (const auto spins = Usable<QAbstractSpinBox>(dialog); r < 72 && !spins.empty()) {
        QAbstractSpinBox* spin = spins[Pick(static_cast<int>(spins.size()))];
        const std::string digits = std::to_string(Pick(10000));
        Log(at + "types " + digits + " in " + Name(spin));
        spin->setFocus();
        QTest::keyClick(spin, Qt::Key_Up);
        QTest::keyClicks(spin, QString::fromStdString(digits));
    } else if (const auto views = Usable<QAbstractItemView>(dialog); r < 80 && !views.empty()) {
        QAbstractItemView* view = views[Pick(static_cast<int>(views.size()))];
        const int rows = view->model() ? view->model()->rowCount(view->rootIndex()) : 0;
        if (rows > 0) {
            const QModelIndex index = view->model()->index(Pick(rows), 0, view->rootIndex());
            view->scrollTo(index);
            Log(at + "clicks row " + std::to_string(index.row()) + " of " + Name(view));
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                              view->visualRect(index).center());
        }
    } else if (const auto boxes = Usable<QComboBox>(dialog); r < 85 && !boxes.empty()) {
        QComboBox* box = boxes[Pick(static_cast<int>(boxes.size()))];
        Log(at + "Down in " + Name(box));
        box->setFocus();
        QTest::keyClick(box, Qt::Key_Down);
    } else if (r < 93) {
        Log(at + "Escape");
        QTest::keyClick(dialog->focusWidget() ? dialog->focusWidget() : dialog, Qt::Key_Escape);
    } else {
        Log(at + "Return");
        QTest::keyClick(dialog->focusWidget() ? dialog->focusWidget() : dialog, Qt::Key_Return);
    }
}

void Driver::ActOnEditor() {
    const std::string at = std::to_string(done_) + " editor: ";
    QListWidget* batches = form_->findChild<QListWidget*>("BatchList");
    QTreeWidget* items = form_->findChild<QTreeWidget*>("AppList");
    QWidget* focus = QApplication::focusWidget();
    if (auto* inPlace = qobject_cast<QLineEdit*>(focus); inPlace && Chance(70)) {
        const std::string text = HostileText();
        const bool commit = Chance(70);
        Log(at + "types \"" + text + "\" in place, " + (commit ? "Return" : "Escape"));
        inPlace->selectAll();
        Type(inPlace, QString::fromStdString(text));
        QTest::keyClick(inPlace, commit ? Qt::Key_Return : Qt::Key_Escape);
        return;
    }
    const int r = Pick(100);
    if (r < 16) {
        const int n = batches->count();
        if (n == 0 || Chance(8)) {
            Log(at + "clicks below the batches");
            QTest::mouseClick(batches->viewport(), Qt::LeftButton, {},
                              QPoint(5, batches->viewport()->height() - 3));
            return;
        }
        const int row = Pick(n);
        batches->scrollToItem(batches->item(row));
        Log(at + "clicks batch " + std::to_string(row));
        QTest::mouseClick(batches->viewport(), Qt::LeftButton, {},
                          batches->visualItemRect(batches->item(row)).center());
    } else if (r < 40 && items->topLevelItemCount() > 0) {
        const int row = Pick(items->topLevelItemCount());
        QTreeWidgetItem* item = items->topLevelItem(row);
        items->scrollToItem(item);
        const QRect rect = items->visualItemRect(item);
        if (r < 30) {
            const bool ctrl = Chance(15);
            Log(at + (ctrl ? "ctrl-clicks item " : "clicks item ") + std::to_string(row));
            QTest::mouseClick(items->viewport(), Qt::LeftButton,
                              ctrl ? Qt::ControlModifier : Qt::KeyboardModifiers(),
                              QPoint(rect.left() + 120, rect.center().y()));
        } else if (r < 37) {
            // The check box sits at the row's start, after the indentation.
            QStyleOptionViewItem opt;
            opt.initFrom(items);
            opt.rect = rect;
            opt.rect.setWidth(items->columnWidth(0));
            opt.features |= QStyleOptionViewItem::HasCheckIndicator;
            const QRect box =
                items->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &opt, items);
            Log(at + "clicks the check box of item " + std::to_string(row));
            QTest::mouseClick(items->viewport(), Qt::LeftButton, {}, box.center());
        } else {
            Log(at + "double-clicks item " + std::to_string(row));
            QTest::mouseDClick(items->viewport(), Qt::LeftButton, {},
                               QPoint(rect.left() + 120, rect.center().y()));
        }
    } else if (r < 58) {
        form_->UpdateActions(); // as the idle update does
        std::vector<QAction*> tools;
        for (QAction* a : form_->toolBar()->actions()) {
            if (!a->isSeparator() && form_->toolBar()->widgetForAction(a)) {
                tools.push_back(a);
            }
        }
        if (!tools.empty()) {
            QAction* a = tools[Pick(static_cast<int>(tools.size()))];
            Log(at + "clicks the button " + Name(a));
            QTest::mouseClick(form_->toolBar()->widgetForAction(a), Qt::LeftButton);
        }
    } else if (r < 66) {
        QAbstractItemView* view = Chance(50) ? static_cast<QAbstractItemView*>(batches) : items;
        const QPoint at2(10 + Pick(std::max(1, view->viewport()->width() - 20)),
                         5 + Pick(std::max(1, view->viewport()->height() - 10)));
        Log(at + "right-clicks " + Name(view));
        QContextMenuEvent menu(QContextMenuEvent::Mouse, at2, view->viewport()->mapToGlobal(at2));
        QApplication::sendEvent(view->viewport(), &menu);
    } else if (r < 72) {
        auto* bar = form_->findChild<QMenuBar*>();
        if (bar && !bar->actions().isEmpty()) {
            QAction* menu = bar->actions()[Pick(static_cast<int>(bar->actions().size()))];
            Log(at + "opens the menu " + menu->text().toStdString());
            QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(menu).center());
        }
    } else {
        const Key& k = kEditorKeys[Pick(std::size(kEditorKeys))];
        QWidget* target = focus && focus->window() == form_.get() ? focus : form_.get();
        Log(at + k.name + " on " + Name(target));
        form_->UpdateActions();
        QTest::keyClick(target, k.key, k.modifiers);
    }
}

void Driver::OutsideChange() {
    const std::string at = std::to_string(done_) + " another program: ";
    const auto rows = ListBatchRows(other_->catalogue, false);
    const std::string batch = rows.empty() ? std::string() : rows[Pick(rows.size())].name;
    try {
        const int r = Pick(8);
        if (r == 0 || batch.empty()) {
            const std::string name = "Outside " + std::to_string(done_);
            Log(at + "adds batch " + name);
            CreateBatch(*other_, name, random_);
        } else if (r == 1) {
            const std::string name =
                Chance(50) ? HostileText() : "Renamed " + std::to_string(done_);
            Log(at + "renames " + batch + " to " + name);
            RenameBatch(*other_, RefOf(other_->catalogue, batch), name);
        } else if (r == 2) {
            Log(at + "deletes " + batch);
            DeleteBatch(*other_, RefOf(other_->catalogue, batch));
        } else if (r == 3) {
            Log(at + "adds a pause to " + batch);
            AddPauseItem(*other_, RefOf(other_->catalogue, batch), 1.0 / 86400);
        } else if (r == 4 && ItemCount(other_->catalogue, batch) > 0) {
            const int n = Pick(ItemCount(other_->catalogue, batch));
            Log(at + "toggles item " + std::to_string(n) + " of " + batch);
            const ItemRef at{n, other_->catalogue.ReadText(batch, ItemKey(n), "")};
            tqAppInfo item;
            DecodeItemEntry(at.entry, item);
            SetItemActive(*other_, RefOf(other_->catalogue, batch), at, !item.Active);
        } else if (r == 5 && ItemCount(other_->catalogue, batch) > 0) {
            const int n = Pick(ItemCount(other_->catalogue, batch));
            Log(at + "deletes item " + std::to_string(n) + " of " + batch);
            DeleteItem(*other_, RefOf(other_->catalogue, batch),
                       {n, other_->catalogue.ReadText(batch, ItemKey(n), "")});
        } else {
            // A sync tool's file in an item folder, made by a process of its own.
            const fs::path folder = BatchFolder(*other_, batch) / std::to_string(1 + Pick(3));
            std::error_code ec;
            fs::create_directories(folder, ec);
            Log(at + "makes a file in " + folder.string());
            test::CreateFileInAnotherProcess(folder / ("sync-" + std::to_string(done_) + ".part"));
        }
    } catch (const std::exception& e) {
        Log(at + "refused: " + e.what());
    }
}

void Driver::DropFiles() {
    QByteArray uris;
    const int n = 1 + Pick(3);
    std::string names;
    for (int i = 0; i < n; ++i) {
        const fs::path file = AnyScript();
        uris += UriOf(file) + "\r\n";
        names += " " + file.filename().string();
    }
    const bool onItems = Chance(85);
    QAbstractItemView* view =
        onItems ? static_cast<QAbstractItemView*>(form_->findChild<QTreeWidget*>("AppList"))
                : form_->findChild<QListWidget*>("BatchList");
    Log(std::to_string(done_) + " a file manager drops" + names + " on " + Name(view));
    QMimeData data;
    data.setData(QStringLiteral("text/uri-list"), uris);
    const QPoint at(8, 8);
    QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(view->viewport(), &enter);
    if (!enter.isAccepted()) {
        return;
    }
    QDragMoveEvent move(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(view->viewport(), &move);
    QDropEvent drop(QPointF(at), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(view->viewport(), &drop);
}

} // namespace korvane::soak

#pragma once
// An editor on a program folder of its own, driven as a person would.
#include "editor/editor_window.h"
#include "editor/interval_dialog.h"
#include "layout/published_controls.h"
#include "shell/desktop_link.h"
#include "shell/shell.h"
#include "store/utf8.h"
#include "test_support.h"

#include <QAction>
#include <QLineEdit>
#include <QListWidget>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTimeEdit>
#include <QToolBar>
#include <QTreeWidget>
#include <QtTest>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace korvane::test {

namespace fs = std::filesystem;

// Where "Make shortcut" puts the shortcut of a batch of that name.
inline fs::path DesktopFile(const std::string& name) {
    return shell::DesktopFolder() / utf8::ToPath(name + shell::kDesktopLinkExtension);
}

// A program folder and an editor on it whose dialogs and launches are
// answered by the test.
struct EditorRig {
    explicit EditorRig(const std::string& catalogue = "") : files(dir / "korvane") {
        qputenv("HOME", QByteArray::fromStdString(dir.path().string()));
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString((dir / "config").string()));
        WriteFile(dir / "batches.lst", catalogue);
        form = std::make_unique<TForm1>(files);
        form->chooseApplications = [this] {
            return picked.isEmpty() ? QStringList() : QStringList{picked};
        };
        form->runIntervalDialog = [this](korvane::TForm3& d) {
            if (pauseLength < 0) {
                return false;
            }
            d.findChild<QTimeEdit*>("DateTimePicker1")
                ->setTime(QTime::fromMSecsSinceStartOfDay(pauseLength * 1000));
            return true;
        };
        form->launchBatch = [this](const std::string& b) {
            launched.push_back(b + (form->isVisible() ? " (window shown)" : ""));
        };
        form->launchItem = [this](const std::string& b, int i) {
            launched.push_back(b + "#" + std::to_string(i));
        };
        realProperties = form->showFileProperties;
        form->showFileProperties = [this](const fs::path& f) { properties.push_back(f); };
        form->shellOpen = [this](const fs::path& f, const std::string& p, const fs::path&) {
            opened.push_back(f.filename().string() + " " + p);
        };
        form->show();
    }
    QListWidget* batches() { return form->findChild<QListWidget*>("BatchList"); }
    QTreeWidget* items() { return form->findChild<QTreeWidget*>("AppList"); }
    void run(QAction* action) {
        form->UpdateActions();
        action->trigger();
    }
    void selectItem(int row) {
        items()->setCurrentItem(items()->topLevelItem(row));
        items()->topLevelItem(row)->setSelected(true);
    }
    int selectedRow() {
        const auto selected = items()->selectedItems();
        return selected.isEmpty() ? -1 : items()->indexOfTopLevelItem(selected.front());
    }
    QStringList itemCaptions() {
        QStringList c;
        for (int i = 0; i < items()->topLevelItemCount(); ++i) {
            c << items()->topLevelItem(i)->text(0);
        }
        return c;
    }

    TempDir dir;
    korvane::ProgramFiles files;
    std::unique_ptr<TForm1> form;
    QString picked;
    int pauseLength = -1; // seconds; < 0 cancels
    std::vector<std::string> launched;
    std::vector<fs::path> properties;
    std::function<void(const fs::path&)> realProperties; // the editor's own sheet
    std::vector<std::string> opened;
};

// A person's view of the editor: clicks on rows, check boxes and tool-bar
// buttons, keys to the in-place editor.
struct EditorHands {
    EditorHands(EditorRig& rig) : form(*rig.form) {}
    explicit EditorHands(TForm1& editor) : form(editor) {}
    QListWidget* batches() { return form.findChild<QListWidget*>("BatchList"); }
    QTreeWidget* items() { return form.findChild<QTreeWidget*>("AppList"); }

    TForm1& form;

    void clickBatch(QListWidgetItem* row) {
        batches()->scrollToItem(row);
        QTest::mouseClick(batches()->viewport(), Qt::LeftButton, {},
                          batches()->visualItemRect(row).center());
    }
    void clickItem(int index) {
        QTreeWidgetItem* row = items()->topLevelItem(index);
        items()->scrollToItem(row);
        const QRect r = items()->visualItemRect(row);
        QTest::mouseClick(items()->viewport(), Qt::LeftButton, {},
                          QPoint(r.left() + 120, r.center().y()));
    }
    void clickCheckBox(int index) {
        QTreeWidgetItem* row = items()->topLevelItem(index);
        items()->scrollToItem(row);
        QStyleOptionViewItem opt;
        opt.initFrom(items());
        opt.rect = items()->visualItemRect(row);
        opt.rect.setWidth(items()->columnWidth(0));
        opt.features |= QStyleOptionViewItem::HasCheckIndicator;
        const QRect box = items()->style()->subElementRect(
            QStyle::SE_ItemViewItemCheckIndicator, &opt, items());
        QTest::mouseClick(items()->viewport(), Qt::LeftButton, {}, box.center());
    }
    // A tool-bar button, as the idle update leaves it enabled or not.
    void clickTool(QAction* action) {
        form.UpdateActions();
        auto* button = form.toolBar()->widgetForAction(action);
        QTest::mouseClick(button, Qt::LeftButton);
    }
    // F2 on the selected batch, the name typed, then Return or Escape.
    void typeBatchName(const QString& name, bool commit) {
        QListWidget* list = batches();
        if (!list->viewport()->findChild<QLineEdit*>()) {
            QTest::keyClick(list, Qt::Key_F2);
        }
        auto* editor = list->viewport()->findChild<QLineEdit*>();
        if (!editor) {
            return; // nothing selected to edit
        }
        editor->selectAll();
        for (const QChar c : name) { // typed one key at a time, letters of any script
            QTest::sendKeyEvent(QTest::Click, editor, Qt::Key_unknown, QString(c), {});
        }
        QTest::keyClick(editor, commit ? Qt::Key_Return : Qt::Key_Escape);
        QCoreApplication::processEvents(); // the delegate commits from a queued call
    }
};

} // namespace korvane::test

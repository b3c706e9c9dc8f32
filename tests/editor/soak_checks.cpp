// What the soak checks between actions, and how it ends.
#include "soak_driver.h"

#include "editor/editor_window.h"
#include "store/catalogue_edit.h"

#include <QApplication>
#include <QListWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include <set>

namespace fs = std::filesystem;

namespace korvane::soak {

std::string Driver::Problem() {
    if (!form_->isVisible()) {
        return "the editor is not on screen";
    }
    const TIniFile& catalogue = files_->catalogue;
    std::set<std::string> ids;
    std::vector<std::string> names;
    for (const std::string& section : catalogue.AllSections()) {
        const std::string id = catalogue.ReadText(section, "ID", "");
        if (id.empty()) {
            return "the section [" + section + "] has no ID";
        }
        if (!ids.insert(id).second) {
            return "two batches have the ID " + id;
        }
    }
    for (const BatchRow& row : ListBatchRows(catalogue, false)) {
        names.push_back(row.name);
    }
    if (form_->BatchCaptions() != names) {
        return "the batch list differs from batches.lst";
    }
    auto* batches = form_->findChild<QListWidget*>("BatchList");
    auto* items = form_->findChild<QTreeWidget*>("AppList");
    // The item list shows the current batch (a click beside the rows takes
    // the highlight away, not the batch).
    if (!batches->currentItem()) {
        if (items->topLevelItemCount() != 0) {
            return "items are shown with no current batch";
        }
    } else {
        const std::string batch = batches->currentItem()->text().toStdString();
        if (batch != CurrentBatchName()) {
            return "the current batch is not the one whose items are shown";
        }
        int count = 0;
        std::string problem;
        ForEachItem(catalogue, batch, [&](int n, const tqAppInfo& item) {
            ++count;
            QTreeWidgetItem* row = items->topLevelItem(n);
            if (row && item.Kind != TItemKind::ikUnknown &&
                (row->checkState(0) == Qt::Checked) != item.Active) {
                problem = "item " + std::to_string(n) + " shows another state than its entry";
            }
            return true;
        });
        if (count != items->topLevelItemCount()) {
            return "the item list shows " + std::to_string(items->topLevelItemCount()) +
                   " rows for " + std::to_string(count) + " items";
        }
        if (!problem.empty()) {
            return problem;
        }
    }
    std::error_code ec;
    for (fs::recursive_directory_iterator it(work_ / "program", ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.starts_with(".") && name.find(".tmp-") != std::string::npos) {
            return "a temporary file was left: " + it->path().string();
        }
    }
    return {};
}

bool Driver::Check(const char* when) {
    checking_ = true;
    // The watches settle within a few tens of milliseconds; a slow machine
    // (or a sanitizer) gets longer.
    QTest::qWait(150);
    std::string problem = Problem();
    for (int i = 0; i < 40 && !problem.empty(); ++i) {
        QTest::qWait(100);
        problem = Problem();
    }
    checking_ = false;
    if (!problem.empty()) {
        Fail(std::string(when) + ": " + problem);
    }
    Log(std::string("checked ") + when);
    return true;
}

void Driver::Finish() {
    if (QWidget* popup = QApplication::activePopupWidget()) {
        QTest::keyClick(popup, Qt::Key_Escape);
        return;
    }
    if (QWidget* modal = QApplication::activeModalWidget()) {
        if (++closeTries_ % 4 == 0) {
            modal->close();
        } else {
            QTest::keyClick(modal, Qt::Key_Escape);
        }
        return;
    }
    for (QWidget* sheet : OpenSheets()) {
        sheet->close();
    }
    if (!levels_.empty() || launching_) {
        return; // the dialogs' loops end first
    }
    Check("at the end");
    finished_ = true;
    stop_ = true;
    Log("passed");
    form_->close();
    QApplication::exit(result_);
}

} // namespace korvane::soak

// The editor's commands between the session's autostart and a batch.
#include "editor/editor_internal.h"

#include "editor/pick_list_dialog.h"
#include "gui/error_report.h"
#include "shell/session_autostart.h"
#include "shell/shell.h"
#include "store/catalogue_edit.h"
#include "store/errors.h"
#include "store/item_wait.h"
#include "store/utf8.h"

#include <QListWidget>

namespace fs = std::filesystem;

namespace korvane {

namespace {

// What was taken from the session's autostart, to give it back.
fs::path TakenFolder(const ProgramFiles& files) {
    return files.folder / "Taken from autostart";
}

} // namespace

void TForm1::aImportAutostartExecute() {
    const BatchRef batch = CurrentBatch();
    if (batch.name.empty()) {
        return;
    }
    const std::vector<shell::SessionStart> starts = shell::ListSessionStarts();
    if (starts.empty()) {
        ShowMessage(this, QStringLiteral("The session starts nothing by itself that a batch "
                                         "could start instead."));
        return;
    }
    std::vector<TPickListForm::Row> rows;
    for (const shell::SessionStart& s : starts) {
        rows.push_back({QString::fromStdString(s.name) +
                            (s.system ? QStringLiteral(" (every user's)") : QString()),
                        QString::fromStdString(s.detail)});
    }
    TPickListForm dialog(
        QStringLiteral("Import from autostart"),
        QStringLiteral("Check what \"%1\" should start instead of the session, and put it in "
                       "order with Up and Down. The session then no longer starts it by itself; "
                       "\"Give back to autostart\" undoes that.")
            .arg(QString::fromStdString(batch.name)),
        rows, QStringLiteral("&Import"), this);
    if (!Modal([&] { return runPickList(dialog); })) {
        return;
    }
    try {
        for (const int chosen : dialog.Chosen()) {
            const shell::SessionStart& start = starts[static_cast<std::size_t>(chosen)];
            // The item comes first: should the session keep it after all,
            // the item goes again, and nothing starts twice.
            std::string field;
            if (start.file.empty()) {
                // A command line (a Run value): the item gets a link that runs it.
                field = AddApplicationItem(
                    files_, batch, fs::path("command"), random_,
                    [&](const fs::path&, const fs::path& folder) {
                        if (!shell::CreateCommandLink(start.name, start.command, folder)) {
                            throw Error("Cannot make a link that runs " + start.command);
                        }
                    });
            } else {
                field = AddApplicationItem(files_, batch, start.file, random_,
                                           shell::CreateItemLink);
            }
            try {
                shell::TakeFromSession(start, TakenFolder(files_));
            } catch (...) {
                // The item just added, wherever another program has moved it meanwhile.
                const int at = FindApplicationItem(files_.catalogue, batch.name, field);
                DeleteItem(files_, batch,
                           {at, files_.catalogue.ReadText(batch.name, ItemKey(at), "")});
                throw;
            }
        }
    } catch (...) {
        Reload();
        throw;
    }
    Reload();
    SelectLastItemRow();
}

void TForm1::aGiveBackAutostartExecute() {
    const std::vector<shell::TakenStart> taken = shell::ListTaken(TakenFolder(files_));
    if (taken.empty()) {
        ShowMessage(this, QStringLiteral("Nothing was taken from the session's autostart."));
        return;
    }
    std::vector<TPickListForm::Row> rows;
    for (const shell::TakenStart& t : taken) {
        rows.push_back({QString::fromStdString(t.name), QString::fromStdString(t.id)});
    }
    TPickListForm dialog(QStringLiteral("Give back to autostart"),
                         QStringLiteral("Check what the session should start by itself again, "
                                        "as it did before. The batches' items stay until you "
                                        "delete them."),
                         rows, QStringLiteral("&Give back"), this);
    if (!Modal([&] { return runPickList(dialog); })) {
        return;
    }
    for (const int chosen : dialog.Chosen()) {
        shell::GiveBackToSession(taken[static_cast<std::size_t>(chosen)].id, TakenFolder(files_));
    }
}

} // namespace korvane

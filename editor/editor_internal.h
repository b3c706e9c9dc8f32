#pragma once
// What the editor's own source files share: text and path conversions, the
// data roles of its rows, and its member templates.
#include "editor/editor_window.h"
#include "gui/error_report.h"
#include "store/file_io.h"
#include "store/utf8.h"

#include <QListWidgetItem>
#include <QString>
#include <QTimer>

#include <filesystem>
#include <string>
#include <utility>

namespace korvane {

constexpr int kNameRole = Qt::UserRole;        // batch rows: the name in the catalogue
constexpr int kIconRole = Qt::UserRole + 1;    // batch rows: icon file and index as read
constexpr int kIdRole = Qt::UserRole + 2;      // batch rows: the ID read with the name
constexpr int kFolderRole = Qt::UserRole;      // item rows: the item folder
constexpr int kCheckedRole = Qt::UserRole + 1; // item rows: the check state before a change
constexpr int kStemRole = Qt::UserRole + 2;    // application rows: the link file's name, bytes

inline QString QStringFrom(const std::string& s) {
    return QString::fromStdString(s);
}
inline std::string StdStringFrom(const QString& s) {
    return s.toStdString();
}
// Paths go through UTF-8 explicitly: std::string conversions of paths are
// not UTF-8 on every platform.
inline std::filesystem::path PathFrom(const QString& s) {
    return utf8::ToPath(s.toStdString());
}
inline QString QStringFromPath(const std::filesystem::path& p) {
    return QString::fromStdString(utf8::FromPath(p));
}

// The file in folder whose name is name ignoring case, or "" when none is
// (or the folder is a link, which is not followed).
inline std::filesystem::path FindIgnoringCase(const std::filesystem::path& folder,
                                              const std::string& name) {
    try {
        for (const FolderEntry& entry : ListFolder(folder)) {
            if (entry.kind == EntryKind::File &&
                utf8::EqualFolded(utf8::FromPath(entry.name), name)) {
                return folder / entry.name;
            }
        }
    } catch (const FileError&) {
    }
    return {};
}

inline QString IconKey(const BatchRow& row) {
    return QStringFrom(row.iconFile) + QLatin1Char('\n') + QString::number(row.iconIndex);
}

inline void SetUpBatchRow(QListWidgetItem& item, const QIcon& icon, const BatchRow& batch) {
    item.setIcon(icon);
    item.setData(kNameRole, QStringFrom(batch.name));
    item.setData(kIdRole, QStringFrom(batch.id));
    item.setData(kIconRole, IconKey(batch));
    item.setFlags(item.flags() | Qt::ItemIsEditable);
}

// The batch a row stands for, as edits name it.
inline BatchRef RowBatch(const QListWidgetItem& row) {
    return {StdStringFrom(row.data(kNameRole).toString()),
            StdStringFrom(row.data(kIdRole).toString())};
}

inline QListWidgetItem* NewBatchRow(const QIcon& icon, const BatchRow& batch) {
    auto* item = new QListWidgetItem(QStringFrom(batch.name));
    SetUpBatchRow(*item, icon, batch);
    return item;
}

// The batch list's rows made anew, all at once. The caller blocks the
// list's signals.
void FillBatchRows(QListWidget& list, const std::vector<BatchRow>& rows);

template <class F> auto TForm1::Modal(F&& run) {
    ++modal_;
    struct Leave {
        int& depth;
        ~Leave() { --depth; }
    } leave{modal_};
    return run();
}

template <class F> void TForm1::Command(F&& handler) {
    if (!Guarded(this, std::forward<F>(handler))) {
        QTimer::singleShot(0, this, [this] { ShowWhatTheFilesHold(); });
    }
}

} // namespace korvane

#include "editor/application_picker.h"

#include "gui/dialog_frame.h"
#include "gui/icons.h"
#include "shell/shell.h"
#include "store/utf8.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace korvane {

namespace {

constexpr int kIndexRole = Qt::UserRole;

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

QStringList BrowseForPrograms(QWidget* parent) {
    QStringList files = QFileDialog::getOpenFileNames(
        parent, QStringLiteral("Add application"),
        QString::fromStdString(utf8::FromPath(shell::ProgramBrowseFolder())),
        QString::fromLatin1(shell::kProgramFileFilters), nullptr, QFileDialog::DontResolveSymlinks);
    for (QString& file : files) {
        file = QDir::toNativeSeparators(file); // as the system writes paths
    }
    return files;
}

} // namespace

ApplicationPicker::ApplicationPicker(std::vector<shell::InstalledApplication> applications,
                                     QWidget* parent)
    : QDialog(parent), applications_(std::move(applications)) {
    setObjectName(QStringLiteral("ApplicationPicker"));
    setWindowTitle(QStringLiteral("Add application"));
    browse = [this] { return BrowseForPrograms(this); };

    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(QStringLiteral("&Search:"), this);
    search_ = new QLineEdit(this);
    search_->setObjectName(QStringLiteral("SearchEdit"));
    search_->setPlaceholderText(QStringLiteral("Type part of a name"));
    search_->setClearButtonEnabled(true);
    search_->setAccessibleName(QStringLiteral("Search applications"));
    label->setBuddy(search_);
    search_->installEventFilter(this);
    auto* searchRow = new QHBoxLayout;
    searchRow->addWidget(label);
    searchRow->addWidget(search_, 1);
    layout->addLayout(searchRow);

    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("ApplicationList"));
    list_->setAccessibleName(QStringLiteral("Applications"));
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setIconSize(QSize(24, 24));
    list_->setUniformItemSizes(true);
    for (std::size_t i = 0; i < applications_.size(); ++i) {
        const shell::InstalledApplication& app = applications_[i];
        auto* row = new QListWidgetItem(MenuEntryIcon(Text(app.icon)), Text(app.name), list_);
        row->setData(kIndexRole, static_cast<int>(i));
        QString tip = Text(app.comment.empty() ? app.genericName : app.comment);
        row->setToolTip(tip.isEmpty() ? Text(app.id) : tip + QStringLiteral("\n") + Text(app.id));
    }
    layout->addWidget(list_, 1);

    // "Browse…" stands apart, on the left: it leaves the list for the files.
    auto* browseButton = new QPushButton(QStringLiteral("&Browse…"), this);
    browseButton->setObjectName(QStringLiteral("BrowseButton"));
    browseButton->setAutoDefault(false);
    auto* buttons = new QDialogButtonBox(this);
    add_ = buttons->addButton(QStringLiteral("&Add"), QDialogButtonBox::AcceptRole);
    add_->setObjectName(QStringLiteral("AddButton"));
    add_->setDefault(true);
    auto* cancel = buttons->addButton(QDialogButtonBox::Cancel);
    cancel->setObjectName(QStringLiteral("CancelButton"));
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addWidget(browseButton);
    buttonRow->addWidget(buttons, 1);
    layout->addLayout(buttonRow);

    connect(search_, &QLineEdit::textChanged, this, &ApplicationPicker::Filter);
    connect(list_, &QListWidget::itemSelectionChanged, this,
            [this] { add_->setEnabled(!list_->selectedItems().isEmpty()); });
    connect(list_, &QListWidget::itemActivated, this, [this] { AddSelected(); });
    connect(add_, &QPushButton::clicked, this, &ApplicationPicker::AddSelected);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(browseButton, &QPushButton::clicked, this, &ApplicationPicker::Browse);
    add_->setEnabled(false);
    search_->setFocus();
    // Room for a dozen rows, never more than the screen holds (a 2x scale).
    QSize size(420, 480);
    if (const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen()) {
        size = size.boundedTo(screen->availableGeometry().size() * 9 / 10);
    }
    resize(size);
    CentreOnEveryShow(this);
}

void ApplicationPicker::Filter(const QString& typed) {
    const std::string words = typed.toStdString();
    const QString wanted = typed.trimmed();
    QListWidgetItem* best = nullptr;
    int bestRank = 3; // 0 the name itself, 1 a name starting so, 2 any match
    for (int i = 0; i < list_->count(); ++i) {
        QListWidgetItem* row = list_->item(i);
        const auto& app = applications_[static_cast<std::size_t>(row->data(kIndexRole).toInt())];
        const bool shown = shell::MatchesSearch(app, words);
        row->setHidden(!shown);
        if (!shown) {
            row->setSelected(false);
            continue;
        }
        const int rank = row->text().compare(wanted, Qt::CaseInsensitive) == 0 ? 0
                         : row->text().startsWith(wanted, Qt::CaseInsensitive) ? 1
                                                                               : 2;
        if (rank < bestRank) {
            best = row;
            bestRank = rank;
        }
    }
    // What was typed picks the best match ("xterm": XTerm before UXTerm),
    // so Enter adds it.
    if (best && !wanted.isEmpty()) {
        list_->setCurrentItem(best);
        list_->scrollToItem(best);
    }
}

void ApplicationPicker::AddSelected() {
    chosen_.clear();
    for (int i = 0; i < list_->count(); ++i) {
        QListWidgetItem* row = list_->item(i);
        if (row->isSelected() && !row->isHidden()) {
            const auto& app =
                applications_[static_cast<std::size_t>(row->data(kIndexRole).toInt())];
            chosen_ << QString::fromStdString(utf8::FromPath(app.file));
        }
    }
    if (!chosen_.isEmpty()) {
        accept();
    }
}

void ApplicationPicker::Browse() {
    const QStringList files = browse();
    if (!files.isEmpty()) {
        chosen_ = files;
        accept();
    }
}

bool ApplicationPicker::eventFilter(QObject* watched, QEvent* event) {
    // The arrow keys and paging go from the search field to the list, onto
    // the best match (or the first row); from there they move on.
    if (watched == search_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        switch (key->key()) {
        case Qt::Key_Down:
        case Qt::Key_Up:
        case Qt::Key_PageDown:
        case Qt::Key_PageUp: {
            QListWidgetItem* current = list_->currentItem();
            if (!current || current->isHidden()) {
                current = nullptr;
                for (int i = 0; i < list_->count() && !current; ++i) {
                    current = list_->item(i)->isHidden() ? nullptr : list_->item(i);
                }
            }
            list_->setFocus();
            if (current) {
                list_->setCurrentItem(current);
            }
            return true;
        }
        case Qt::Key_Return:
        case Qt::Key_Enter:
            AddSelected();
            return true;
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

QStringList ChooseApplications(QWidget* parent) {
    std::vector<shell::InstalledApplication> applications = shell::ListInstalledApplications();
    if (applications.empty()) {
        return BrowseForPrograms(parent);
    }
    ApplicationPicker picker(std::move(applications), parent);
    return picker.exec() == QDialog::Accepted ? picker.Chosen() : QStringList();
}

} // namespace korvane

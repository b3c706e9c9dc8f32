#include "appearance/batch_appearance.h"

#include "gui/dialog_buttons.h"
#include "gui/dialog_frame.h"
#include "gui/error_report.h"
#include "gui/icons.h"
#include "shell/icon_source.h"
#include "shell/shell.h"
#include "store/catalogue_edit.h"
#include "store/ini_document.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace korvane {

namespace {

const QString kDefault = QStringLiteral("Default");

} // namespace

TForm5::TForm5(ProgramFiles& files, BatchListLink link, QWidget* parent)
    : QDialog(parent), files_(files), link_(std::move(link)) {
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(QStringLiteral("Change icon"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Icon file path:"), this));
    PathEdit = new QLineEdit(this);
    PathEdit->setObjectName(QStringLiteral("PathEdit"));
    PathEdit->setReadOnly(true);
    // Read-only: drawn on the button face, not as a field to type in.
    QPalette face = PathEdit->palette();
    face.setColor(QPalette::Base, face.color(QPalette::Button));
    PathEdit->setPalette(face);
    layout->addWidget(PathEdit);
    layout->addWidget(new QLabel(QStringLiteral("1. Select from items:"), this));
    IconsCombo = new QComboBox(this);
    IconsCombo->setObjectName(QStringLiteral("IconsCombo"));
    IconsCombo->setMaxVisibleItems(8);
    // Shown while the list holds the file's icons rather than an item's.
    IconsCombo->setPlaceholderText(QStringLiteral("(choose an item)"));
    // A plain drop-down list, so that every style shows at most 8 rows.
    IconsCombo->setStyleSheet(QStringLiteral("QComboBox { combobox-popup: 0; }"));
    layout->addWidget(IconsCombo);
    auto* browse = new QHBoxLayout;
    browse->addWidget(new QLabel(QStringLiteral("2. Browse file"), this));
    Button1 = new QPushButton(QStringLiteral("Open..."), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    browse->addWidget(Button1);
    layout->addLayout(browse);
    ListView1 = new QListWidget(this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setViewMode(QListView::IconMode);
    ListView1->setResizeMode(QListView::Adjust);
    ListView1->setMovement(QListView::Static);
    ListView1->setIconSize(QSize(32, 32));
    ListView1->setGridSize(QSize(56, 56));
    layout->addWidget(ListView1, 1);
    const DialogButtons buttons =
        MakeDialogButtons(this, QStringLiteral("Change"), "Button2", "Button3");
    Button2 = buttons.confirm;
    Button3 = buttons.cancel;
    layout->addLayout(buttons.row);
    FixDialogSize(this, QSize(268, 348));

    chooseFile = [this] {
        // Shown and stored as the system writes paths (backslashes on Windows).
        return QDir::toNativeSeparators(QFileDialog::getOpenFileName(
            this, QStringLiteral("Open"), QString(), QString::fromLatin1(shell::kIconFileFilters)));
    };
    connect(Button1, &QPushButton::clicked, this,
            [this] { Guarded(this, [this] { Button1Click(); }); });
    connect(Button2, &QPushButton::clicked, this, [this] {
        if (Guarded(this, [this] { Button2Click(); })) {
            accept();
        }
    });
    connect(Button3, &QPushButton::clicked, this, &QDialog::reject);
    connect(IconsCombo, qOverload<int>(&QComboBox::activated), this,
            [this](int entry) { Guarded(this, [&] { IconsComboChange(entry); }); });
}

void TForm5::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    Guarded(this, [this] { FormShow(); });
}

std::optional<IconChoice> TForm5::Choose(const IconChoice& current) {
    Preselect(current);
    if (exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return choice_;
}

void TForm5::FormShow() {
    QString path = QString::fromStdString(shell::ResolveIconSource(choice_.file));
    if (path.isEmpty()) {
        path = DefaultIconLibrary();
    }
    PathEdit->setText(path);
    FillList(path, choice_.index);
    IconsCombo->clear();
    IconsCombo->addItem(DefaultBatchIcon(), kDefault);
    itemIndexList_.clear();
    if (link_.applicationItems) {
        for (const auto& item : link_.applicationItems()) {
            itemIndexList_.push_back(item.index);
            IconsCombo->addItem(item.icon, item.caption);
        }
    }
    IconsCombo->setCurrentIndex(-1);
}

void TForm5::FillList(const QString& path, int select) {
    if (path.isEmpty()) {
        return;
    }
    ListView1->clear();
    const int count = IconCount(path);
    for (int i = 0; i < count; ++i) {
        const QIcon icon = ExtractIcon(path, i);
        if (icon.isNull()) {
            break;
        }
        // A file with many icons keeps the dialog responsive while it is read.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        ListView1->addItem(new QListWidgetItem(icon, QString::number(i)));
    }
    QListWidgetItem* chosen = nullptr;
    const auto matches = ListView1->findItems(QString::number(select), Qt::MatchFixedString);
    chosen = matches.isEmpty() ? ListView1->item(0) : matches.front();
    if (chosen) {
        ListView1->setCurrentItem(chosen);
        ListView1->scrollToItem(chosen);
        ListView1->setFocus();
    }
}

void TForm5::IconsComboChange(int entry) {
    if (entry <= 0) {
        ListView1->clear();
        ListView1->addItem(new QListWidgetItem(DefaultBatchIcon(), kDefault));
        ListView1->setCurrentRow(0);
        PathEdit->setText(kDefault);
        return;
    }
    if (entry - 1 >= static_cast<int>(itemIndexList_.size())) {
        return;
    }
    const std::string batch = CurrentBatchName();
    const std::string value =
        files_.catalogue.ReadText(batch, ItemKey(itemIndexList_[entry - 1]), "");
    tqAppInfo item;
    DecodeItemEntry(value, item);
    const auto folder = ItemFolder(BatchFolder(files_, batch), item.Folder);
    if (!folder) {
        return;
    }
    const std::string name = FindItemFile(*folder);
    if (name.empty()) {
        return;
    }
    const auto link = *folder / name;
    // The link's own icon source first; else the program or document it starts.
    std::string iconPath = shell::ReadLinkIconLocation(link);
    if (iconPath.empty()) {
        iconPath = shell::ReadLinkTarget(link);
    }
    if (!iconPath.empty()) {
        PathEdit->setText(QString::fromStdString(iconPath));
        FillList(PathEdit->text(), 0);
    }
}

void TForm5::Button1Click() {
    const QString file = chooseFile();
    if (!file.isEmpty()) {
        PathEdit->setText(file);
        FillList(file, 0);
    }
}

void TForm5::Button2Click() {
    if (ListView1->count() == 0) {
        return; // no icons listed: nothing is taken
    }
    if (!ListView1->currentItem()) {
        ListView1->setCurrentRow(0);
    }
    QListWidgetItem* selected = ListView1->currentItem();
    if (PathEdit->text() == kDefault) {
        choice_ = {{}, 0, selected->icon()};
    } else {
        // The program's own collection is stored so that it survives a move.
        choice_ = {shell::StoredIconSource(PathEdit->text().toStdString()),
                   selected->text().toInt(), selected->icon()};
    }
}

TBatchPropertiesForm::TBatchPropertiesForm(ProgramFiles& files, BatchListLink link, TForm5& chooser,
                                           QWidget* parent)
    : QDialog(parent), files_(files), link_(std::move(link)), chooser_(chooser) {
    setObjectName(QStringLiteral("BatchPropertiesForm"));
    setWindowTitle(QStringLiteral("Batch properties"));
    auto* layout = new QGridLayout(this);
    auto* label = new QLabel(QStringLiteral("Name:"), this);
    label->setObjectName(QStringLiteral("Label1"));
    layout->addWidget(label, 0, 0, 1, 2);
    NameEdit = new QLineEdit(this);
    NameEdit->setObjectName(QStringLiteral("NameEdit"));
    layout->addWidget(NameEdit, 1, 0, 1, 2);
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setFixedSize(32, 32);
    layout->addWidget(Image1, 2, 0);
    Button3 = new QPushButton(QStringLiteral("Change icon"), this);
    Button3->setObjectName(QStringLiteral("Button3"));
    layout->addWidget(Button3, 2, 1, Qt::AlignLeft);
    ShowInStartupCheck = new QCheckBox(QStringLiteral("Show at the startup dialog"), this);
    ShowInStartupCheck->setObjectName(QStringLiteral("ShowInStartupCheck"));
    layout->addWidget(ShowInStartupCheck, 3, 0, 1, 2);
    const DialogButtons buttons =
        MakeDialogButtons(this, QStringLiteral("Save"), "Button1", "Button2");
    Button1 = buttons.confirm;
    Button2 = buttons.cancel;
    layout->addLayout(buttons.row, 4, 0, 1, 2);
    FixDialogSize(this, QSize(275, 180));

    connect(Button3, &QPushButton::clicked, this, [this] {
        if (const auto chosen = chooser_.Choose(icon_)) {
            icon_ = *chosen;
            SetPreview(icon_.picture);
        }
    });
    connect(Button1, &QPushButton::clicked, this, [this] {
        if (Guarded(this, [this] { Button1Click(); })) {
            accept();
        }
    });
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
}

void TBatchPropertiesForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    Guarded(this, [this] { FormShow(); });
}

void TBatchPropertiesForm::SetPreview(const QIcon& icon) {
    Image1->setPixmap(icon.pixmap(32, 32));
}

void TBatchPropertiesForm::FormShow() {
    batch_ = {};
    if (!link_.hasCurrentRow || !link_.hasCurrentRow()) {
        return;
    }
    // What Save writes is checked against the batch as it is now: one
    // renamed or deleted meanwhile is never brought back.
    batch_ = CurrentBatch();
    ShowInStartupCheck->setChecked(files_.catalogue.ReadFlag(batch_.name, "ShowInStartup", true));
    icon_ = {files_.catalogue.ReadText(batch_.name, "IconFile", ""),
             files_.catalogue.ReadNumber(batch_.name, "IconIndex", 0), QIcon()};
    SetPreview(link_.currentRowIcon ? link_.currentRowIcon() : DefaultBatchIcon());
    NameEdit->setText(QString::fromStdString(batch_.name));
}

void TBatchPropertiesForm::Button1Click() {
    if (batch_.name.empty()) {
        return; // opened on no batch
    }
    const std::string newName = NameEdit->text().toStdString();
    // Blanks at either end are not part of a name: "Work " keeps "Work" where it is.
    if (IniDocument::TrimName(newName) != batch_.name) {
        batch_.name = link_.rename(batch_, newName); // refuses "" and another batch's name
    }
    SetBatchLooks(files_, batch_, {ShowInStartupCheck->isChecked(), icon_.file, icon_.index});
    if (icon_.file.empty()) {
        link_.setCurrentRowIcon(QIcon());
    } else if (const QIcon icon = ExtractIcon(QString::fromStdString(icon_.file), icon_.index);
               !icon.isNull()) {
        link_.setCurrentRowIcon(icon);
    }
}

} // namespace korvane

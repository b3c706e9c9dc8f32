#include "editor/link_properties.h"

#include "editor/wait_section.h"

#include "gui/error_report.h"
#include "gui/icons.h"
#include "shell/shell.h"
#include "store/errors.h"
#include "store/utf8.h"

#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace fs = std::filesystem;

namespace korvane {

namespace {

QString QStringFrom(const std::string& s) {
    return QString::fromStdString(s);
}

QString QStringFromPath(const fs::path& p) {
    return QString::fromStdString(utf8::FromPath(p));
}

std::string StdStringFrom(const QString& s) {
    return s.toStdString();
}

QLineEdit* Field(QWidget* parent, const char* name) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    return edit;
}

QPushButton* Button(QWidget* parent, const QString& caption, const char* name) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

// A line with a field and a button beside it.
QWidget* WithButton(QWidget* parent, QLineEdit* edit, QPushButton* button) {
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(edit, 1);
    layout->addWidget(button);
    return row;
}

} // namespace

TLinkPropertiesForm::TLinkPropertiesForm(fs::path file, QWidget* parent)
    : QDialog(parent), file_(std::move(file)), sheet_(shell::ReadLinkSheet(file_)) {
    setObjectName(QStringLiteral("LinkPropertiesForm"));
    const fs::path name = file_.filename();
    const bool link = utf8::EqualFolded(utf8::FromPath(name.extension()), ".lnk");
    setWindowTitle(
        QString::fromStdString(utf8::DisplayFileName(utf8::FromPath(link ? name.stem() : name))) +
        QStringLiteral(" Properties"));

    chooseTarget = [this] { return QFileDialog::getOpenFileName(this, QStringLiteral("Target")); };
    chooseFolder = [this] {
        return QFileDialog::getExistingDirectory(this, QStringLiteral("Start in"),
                                                 StartInEdit->text());
    };
    openFolder = [](const fs::path& folder) { shell::ShellOpen(folder, "", folder); };

    const bool entry = sheet_ && sheet_->kind == shell::LinkSheet::Kind::DesktopEntry;
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    if (entry) {
        NameEdit = Field(this, "NameEdit");
        form->addRow(QStringLiteral("Name:"), NameEdit);
    }
    TargetEdit = Field(this, "TargetEdit");
    auto* browseTarget = Button(this, QStringLiteral("Browse..."), "BrowseTargetButton");
    form->addRow(entry ? QStringLiteral("Command:") : QStringLiteral("Target:"),
                 WithButton(this, TargetEdit, browseTarget));
    if (!entry) {
        ArgumentsEdit = Field(this, "ArgumentsEdit");
        form->addRow(QStringLiteral("Arguments:"), ArgumentsEdit);
    }
    StartInEdit = Field(this, "StartInEdit");
    // Empty, the item starts where this platform's launchers start it.
    StartInEdit->setPlaceholderText(
        QStringFromPath(shell::DefaultStartFolder(file_.parent_path())));
    auto* browseFolder = Button(this, QStringLiteral("Browse..."), "BrowseFolderButton");
    form->addRow(QStringLiteral("Start in:"), WithButton(this, StartInEdit, browseFolder));
    CommentEdit = Field(this, "CommentEdit");
    form->addRow(QStringLiteral("Comment:"), CommentEdit);
    IconImage = new QLabel(this);
    IconImage->setObjectName(QStringLiteral("IconImage"));
    IconImage->setFixedSize(32, 32);
    auto* changeIcon = Button(this, QStringLiteral("Change Icon..."), "ChangeIconButton");
    auto* iconRow = new QHBoxLayout;
    iconRow->addWidget(IconImage);
    iconRow->addWidget(changeIcon);
    iconRow->addStretch(1);
    form->addRow(QStringLiteral("Icon:"), iconRow);
    layout->addLayout(form);
    auto* openLocation = Button(this, QStringLiteral("Open file location"), "OpenLocationButton");
    layout->addWidget(openLocation, 0, Qt::AlignLeft);
    WarningLabel = new QLabel(this);
    WarningLabel->setObjectName(QStringLiteral("WarningLabel"));
    WarningLabel->setWordWrap(true);
    WarningLabel->setStyleSheet(QStringLiteral("color: #a05a00;"));
    layout->addWidget(WarningLabel);
    WaitSection = new TWaitSection(this);
    WaitSection->hide(); // only an item of a batch waits
    WaitSection->setEnabled(sheet_.has_value());
    layout->addWidget(WaitSection);
    layout->addStretch(1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    OKButton = Button(this, QStringLiteral("OK"), "OKButton");
    OKButton->setDefault(true);
    auto* cancel = Button(this, QStringLiteral("Cancel"), "CancelButton");
    ApplyButton = Button(this, QStringLiteral("Apply"), "ApplyButton");
    buttons->addWidget(OKButton);
    buttons->addWidget(cancel);
    buttons->addWidget(ApplyButton);
    layout->addLayout(buttons);
    resize(440, sizeHint().height());

    ShowWhatTheLinkHolds();
    ShowIcon();
    UpdateWarning();

    ConnectButtons(browseTarget, browseFolder, changeIcon, openLocation, cancel);
}

void TLinkPropertiesForm::ShowWhatTheLinkHolds() {
    if (sheet_) {
        if (NameEdit) {
            NameEdit->setText(QStringFrom(sheet_->name));
        }
        TargetEdit->setText(QStringFrom(sheet_->target));
        if (ArgumentsEdit) {
            ArgumentsEdit->setText(QStringFrom(sheet_->arguments));
        }
        StartInEdit->setText(QStringFrom(sheet_->startIn));
        CommentEdit->setText(QStringFrom(sheet_->comment));
        iconFile_ = sheet_->iconFile;
        iconIndex_ = sheet_->iconIndex;
    } else {
        // Shown, never overwritten: what cannot be read cannot be written back whole.
        for (QWidget* w : std::initializer_list<QWidget*>{TargetEdit, StartInEdit, CommentEdit,
                                                          OKButton, ApplyButton}) {
            w->setEnabled(false);
        }
        if (ArgumentsEdit) {
            ArgumentsEdit->setEnabled(false);
        }
        for (QPushButton* b : findChildren<QPushButton*>()) {
            if (b->objectName().startsWith(QLatin1String("Browse")) ||
                b->objectName() == QLatin1String("ChangeIconButton")) {
                b->setEnabled(false);
            }
        }
        WarningLabel->setText(QStringLiteral("This file cannot be read as a link. It is shown "
                                             "read-only, so that nothing overwrites it."));
    }
}

void TLinkPropertiesForm::ConnectButtons(QPushButton* browseTarget, QPushButton* browseFolder,
                                         QPushButton* changeIcon, QPushButton* openLocation,
                                         QPushButton* cancel) {
    connect(TargetEdit, &QLineEdit::textChanged, this, [this] { UpdateWarning(); });
    connect(browseTarget, &QPushButton::clicked, this, [this] {
        if (const QString chosen = chooseTarget(); !chosen.isEmpty()) {
            TargetEdit->setText(chosen);
        }
    });
    connect(browseFolder, &QPushButton::clicked, this, [this] {
        if (const QString chosen = chooseFolder(); !chosen.isEmpty()) {
            StartInEdit->setText(chosen);
        }
    });
    connect(changeIcon, &QPushButton::clicked, this, [this, changeIcon] {
        std::string icon = iconFile_.empty() ? StdStringFrom(TargetEdit->text()) : iconFile_;
        int index = iconIndex_;
        if (chooseIcon && chooseIcon(icon, index)) {
            iconFile_ = icon;
            iconIndex_ = index;
            ShowIcon();
        }
        // The chooser belongs to the editor, which the window manager
        // activates when it closes: the sheet takes the focus back.
        raise();
        activateWindow();
        changeIcon->setFocus();
    });
    connect(openLocation, &QPushButton::clicked, this, [this] {
        const fs::path target =
            utf8::ToPath(sheet_ ? Collected().target : StdStringFrom(TargetEdit->text()));
        openFolder(target.has_parent_path() ? target.parent_path() : file_.parent_path());
    });
    connect(OKButton, &QPushButton::clicked, this, [this] {
        if (Apply()) {
            accept();
        }
    });
    connect(ApplyButton, &QPushButton::clicked, this, [this] { Apply(); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

shell::LinkSheet TLinkPropertiesForm::Collected() const {
    shell::LinkSheet sheet = *sheet_;
    // A field the user left as it was keeps its exact bytes: a file name that
    // is not UTF-8 shows with replacement characters, and written back so it
    // would name another file.
    const auto take = [](const QLineEdit* edit, std::string& field) {
        if (edit->text() != QStringFrom(field)) {
            field = StdStringFrom(edit->text());
        }
    };
    if (NameEdit) {
        take(NameEdit, sheet.name);
    }
    take(TargetEdit, sheet.target);
    if (ArgumentsEdit) {
        take(ArgumentsEdit, sheet.arguments);
    }
    take(StartInEdit, sheet.startIn);
    take(CommentEdit, sheet.comment);
    sheet.iconFile = iconFile_;
    sheet.iconIndex = iconIndex_;
    return sheet;
}

void TLinkPropertiesForm::ShowWait(const ItemWait& wait, const std::string& windowLimitation,
                                   std::function<void(const ItemWait&)> save) {
    saveWait_ = std::move(save);
    WaitSection->Show(wait, windowLimitation);
    WaitSection->show();
    resize(width(), sizeHint().height());
}

bool TLinkPropertiesForm::Apply() {
    if (!sheet_) {
        return false;
    }
    return Guarded(this, [this] {
        const shell::LinkSheet sheet = Collected();
        if (const std::string problem = shell::CheckLinkSheet(sheet); !problem.empty()) {
            throw Error(problem); // nothing is written
        }
        const ItemWait wait = WaitSection->Collected();
        if (saveWait_) {
            if (const auto problem = WaitProblem(wait)) {
                throw Error(*problem); // nothing is written
            }
        }
        if (!shell::WriteLinkSheet(file_, sheet)) {
            throw WriteError("Unable to write to " + utf8::FromPath(file_));
        }
        sheet_ = sheet;
        if (saveWait_) {
            saveWait_(wait);
        }
        emit applied();
    });
}

void TLinkPropertiesForm::ShowIcon() {
    QIcon icon = iconFile_.empty() ? QIcon() : ExtractIcon(QStringFrom(iconFile_), iconIndex_);
    if (icon.isNull()) {
        icon = FileTypeIcon(TargetEdit->text());
    }
    IconImage->setPixmap(icon.pixmap(32, 32));
}

void TLinkPropertiesForm::UpdateWarning() {
    if (!sheet_) {
        return;
    }
    WarningLabel->setText(QStringFrom(shell::LinkSheetWarning(Collected())));
}

} // namespace korvane

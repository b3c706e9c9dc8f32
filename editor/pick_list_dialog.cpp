#include "editor/pick_list_dialog.h"

#include "gui/dialog_buttons.h"
#include "gui/dialog_frame.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace korvane {

TPickListForm::TPickListForm(const QString& title, const QString& prompt,
                             const std::vector<Row>& rows, const QString& confirmText,
                             QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("PickListForm"));
    setWindowTitle(title);
    auto* layout = new QVBoxLayout(this);
    Prompt = new QLabel(prompt, this);
    Prompt->setObjectName(QStringLiteral("Prompt"));
    Prompt->setWordWrap(true);
    layout->addWidget(Prompt);

    auto* middle = new QHBoxLayout;
    PickList = new QListWidget(this);
    PickList->setObjectName(QStringLiteral("PickList"));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        auto* row = new QListWidgetItem(rows[i].text, PickList);
        row->setToolTip(rows[i].toolTip);
        row->setData(Qt::UserRole, static_cast<int>(i));
        row->setFlags(row->flags() | Qt::ItemIsUserCheckable);
        row->setCheckState(Qt::Unchecked);
    }
    PickList->setCurrentRow(rows.empty() ? -1 : 0);
    middle->addWidget(PickList, 1);
    auto* side = new QVBoxLayout;
    UpButton = new QPushButton(QStringLiteral("&Up"), this);
    UpButton->setObjectName(QStringLiteral("UpButton"));
    DownButton = new QPushButton(QStringLiteral("&Down"), this);
    DownButton->setObjectName(QStringLiteral("DownButton"));
    side->addWidget(UpButton);
    side->addWidget(DownButton);
    side->addStretch(1);
    middle->addLayout(side);
    layout->addLayout(middle, 1);

    const DialogButtons buttons =
        MakeDialogButtons(this, confirmText, "ConfirmButton", "CancelButton");
    ConfirmButton = buttons.confirm;
    CancelButton = buttons.cancel;
    layout->addLayout(buttons.row);

    connect(UpButton, &QPushButton::clicked, this, [this] { Move(-1); });
    connect(DownButton, &QPushButton::clicked, this, [this] { Move(1); });
    connect(PickList, &QListWidget::currentRowChanged, this, [this] { UpdateButtons(); });
    connect(PickList, &QListWidget::itemChanged, this, [this] { UpdateButtons(); });
    connect(ConfirmButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    UpdateButtons();
    resize(440, 340);
    CentreOnEveryShow(this);
}

std::vector<int> TPickListForm::Chosen() const {
    std::vector<int> chosen;
    for (int i = 0; i < PickList->count(); ++i) {
        if (PickList->item(i)->checkState() == Qt::Checked) {
            chosen.push_back(PickList->item(i)->data(Qt::UserRole).toInt());
        }
    }
    return chosen;
}

void TPickListForm::Move(int delta) {
    const int from = PickList->currentRow();
    const int to = from + delta;
    if (from < 0 || to < 0 || to >= PickList->count()) {
        return;
    }
    QListWidgetItem* row = PickList->takeItem(from);
    PickList->insertItem(to, row);
    PickList->setCurrentRow(to);
}

void TPickListForm::UpdateButtons() {
    const int row = PickList->currentRow();
    UpButton->setEnabled(row > 0);
    DownButton->setEnabled(row >= 0 && row + 1 < PickList->count());
    ConfirmButton->setEnabled(!Chosen().empty());
}

} // namespace korvane

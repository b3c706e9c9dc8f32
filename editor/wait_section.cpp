#include "editor/wait_section.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>

namespace korvane {

namespace {

// The choices in the order the list shows them.
constexpr WaitKind kKinds[] = {WaitKind::None, WaitKind::Window, WaitKind::Ended, WaitKind::Path,
                               WaitKind::Port};

} // namespace

TWaitSection::TWaitSection(QWidget* parent)
    : QGroupBox(QStringLiteral("Before the next item"), parent) {
    setObjectName(QStringLiteral("WaitSection"));
    auto* form = new QFormLayout(this);
    WaitKindCombo = new QComboBox(this);
    WaitKindCombo->setObjectName(QStringLiteral("WaitKindCombo"));
    WaitKindCombo->addItems(
        {QStringLiteral("Go on at once"), QStringLiteral("Wait until its window appears"),
         QStringLiteral("Wait until it has ended"), QStringLiteral("Wait until a path exists"),
         QStringLiteral("Wait until a port on this machine takes connections")});
    form->addRow(QStringLiteral("&Then:"), WaitKindCombo);
    WaitTargetEdit = new QLineEdit(this);
    WaitTargetEdit->setObjectName(QStringLiteral("WaitTargetEdit"));
    targetLabel_ = new QLabel(QStringLiteral("&Path:"), this);
    targetLabel_->setBuddy(WaitTargetEdit);
    form->addRow(targetLabel_, WaitTargetEdit);
    WaitLimitSpin = new QSpinBox(this);
    WaitLimitSpin->setObjectName(QStringLiteral("WaitLimitSpin"));
    WaitLimitSpin->setRange(1, kMaxWaitSeconds);
    WaitLimitSpin->setSuffix(QStringLiteral(" s"));
    WaitLimitSpin->setValue(kDefaultWaitSeconds);
    form->addRow(QStringLiteral("&Give up after:"), WaitLimitSpin);
    WaitNoteLabel = new QLabel(this);
    WaitNoteLabel->setObjectName(QStringLiteral("WaitNoteLabel"));
    WaitNoteLabel->setWordWrap(true);
    form->addRow(WaitNoteLabel);
    connect(WaitKindCombo, &QComboBox::currentIndexChanged, this, [this] { UpdateFields(); });
    UpdateFields();
}

void TWaitSection::Show(const ItemWait& wait, const std::string& windowLimitation) {
    windowLimitation_ = windowLimitation;
    for (int i = 0; i < static_cast<int>(std::size(kKinds)); ++i) {
        if (kKinds[i] == wait.kind) {
            WaitKindCombo->setCurrentIndex(i);
        }
    }
    WaitTargetEdit->setText(QString::fromStdString(wait.target));
    WaitLimitSpin->setValue(wait.limitSeconds);
    UpdateFields();
}

ItemWait TWaitSection::Collected() const {
    ItemWait wait{kKinds[std::max(0, WaitKindCombo->currentIndex())], WaitLimitSpin->value(), ""};
    if (wait.kind == WaitKind::Path || wait.kind == WaitKind::Port) {
        wait.target = WaitTargetEdit->text().trimmed().toStdString();
    }
    return wait;
}

void TWaitSection::UpdateFields() {
    const WaitKind kind = kKinds[std::max(0, WaitKindCombo->currentIndex())];
    const bool target = kind == WaitKind::Path || kind == WaitKind::Port;
    targetLabel_->setText(kind == WaitKind::Port ? QStringLiteral("P&ort:")
                                                 : QStringLiteral("&Path:"));
    WaitTargetEdit->setPlaceholderText(kind == WaitKind::Port ? QStringLiteral("5432")
                                                              : QStringLiteral("~/.cache/ready"));
    WaitTargetEdit->setEnabled(target);
    // Only a path or a port needs its field.
    static_cast<QFormLayout*>(layout())->setRowVisible(WaitTargetEdit, target);
    WaitLimitSpin->setEnabled(kind != WaitKind::None);
    QString note;
    if (kind == WaitKind::Window && !windowLimitation_.empty()) {
        note = QStringLiteral("Here %1, so the wait lasts until its limit.")
                   .arg(QString::fromStdString(windowLimitation_));
    } else if (kind == WaitKind::Window) {
        note = QStringLiteral("A window of a program it starts counts too, and one of the same "
                              "program already open when it hands over to it.");
    } else if (kind == WaitKind::Ended) {
        note = QStringLiteral("Its exit status goes into the launch's report.");
    } else if (kind != WaitKind::None) {
        note = QStringLiteral("After the limit the batch goes on all the same.");
    }
    WaitNoteLabel->setText(note);
    WaitNoteLabel->setVisible(!note.isEmpty());
}

} // namespace korvane

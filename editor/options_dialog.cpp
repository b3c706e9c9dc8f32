#include "editor/options_dialog.h"

#include "app/problem_notice.h"
#include "gui/clock_time_edit.h"
#include "gui/dialog_buttons.h"
#include "gui/dialog_frame.h"
#include "gui/error_report.h"
#include "shell/shell.h"
#include "store/clock_time.h"
#include "store/errors.h"
#include "store/utf8.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTime>
#include <QTimeEdit>
#include <QVBoxLayout>

namespace korvane {

namespace {

constexpr const char* kLayoutSection = "Form2";

// Whether an autostart command is the one for this executable: equal when
// the letters a to z are taken as upper case.
bool SameAutostartCommand(const std::string& found, const std::string& expected) {
    auto upper = [](std::string s) {
        for (char& c : s) {
            if (c >= 'a' && c <= 'z') {
                c = static_cast<char>(c - 'a' + 'A');
            }
        }
        return s;
    };
    return upper(found) == upper(expected);
}

} // namespace

TOptionsForm::TOptionsForm(ProgramFiles& files, std::function<std::vector<BatchRef>()> batches,
                           QWidget* parent)
    : QDialog(parent), files_(files), batches_(std::move(batches)) {
    setObjectName(QStringLiteral("OptionsForm"));
    setWindowTitle(QStringLiteral("Options"));
    auto* outer = new QVBoxLayout(this);
    auto* group = new QGroupBox(QStringLiteral(" Startup menu "), this);
    group->setObjectName(QStringLiteral("GroupBox1"));
    auto* grid = new QGridLayout(group);

    // Alt+M, for "menu" in either platform's words.
    StartupCheck = new QCheckBox(
        QString::fromUtf8(shell::kAutostartCaption).replace(QStringLiteral("menu"), "&menu"),
        group);
    StartupCheck->setObjectName(QStringLiteral("StartupCheck"));
    grid->addWidget(StartupCheck, 0, 0, 1, 2);
    Label2 = new QLabel(QStringLiteral("Default &batch:"), group);
    Label2->setObjectName(QStringLiteral("Label2"));
    grid->addWidget(Label2, 1, 0, 1, 2);
    BatchCombo = new QComboBox(group);
    BatchCombo->setObjectName(QStringLiteral("BatchCombo"));
    BatchCombo->setEditable(false);
    BatchCombo->setMaxVisibleItems(8);
    // A plain drop-down list, so that every style shows at most 8 rows.
    BatchCombo->setStyleSheet(QStringLiteral("QComboBox { combobox-popup: 0; }"));
    grid->addWidget(BatchCombo, 2, 0, 1, 2);
    Label2->setBuddy(BatchCombo);
    DefaultStartCheck = new QCheckBox(QStringLiteral("Enable time &countdown"), group);
    DefaultStartCheck->setObjectName(QStringLiteral("DefaultStartCheck"));
    grid->addWidget(DefaultStartCheck, 3, 0, 1, 2);
    Label1 = new QLabel(QStringLiteral("&Interval:"), group);
    Label1->setObjectName(QStringLiteral("Label1"));
    grid->addWidget(Label1, 4, 0);
    DefaultStartInterval = new QTimeEdit(group);
    DefaultStartInterval->setObjectName(QStringLiteral("DefaultStartInterval"));
    ShowDurationFormat(DefaultStartInterval);
    DefaultStartInterval->setTime(QTime(0, 0, 0));
    grid->addWidget(DefaultStartInterval, 4, 1);
    Label1->setBuddy(DefaultStartInterval);
    TransCheck = new QCheckBox(QStringLiteral("Enable &transparent"), group);
    TransCheck->setObjectName(QStringLiteral("TransCheck"));
    grid->addWidget(TransCheck, 5, 0, 1, 2);
    TransVal = new QSlider(Qt::Horizontal, group);
    TransVal->setObjectName(QStringLiteral("TransVal"));
    TransVal->setRange(0, 255);
    TransVal->setTickInterval(10);
    TransVal->setTickPosition(QSlider::TicksBothSides);
    TransVal->setAccessibleName(QStringLiteral("Transparency"));
    grid->addWidget(TransVal, 6, 0, 1, 2);
    // Rows keep their natural height; the room left goes below the last.
    grid->setRowStretch(7, 1);
    grid->setVerticalSpacing(6);
    outer->addWidget(group);

    // Not the menu's alone: desktop shortcuts and scripts launch too.
    auto* launches = new QGroupBox(QStringLiteral(" Launches "), this);
    launches->setObjectName(QStringLiteral("GroupBox2"));
    auto* launchesLayout = new QVBoxLayout(launches);
    NotifyCheck = new QCheckBox(QStringLiteral("&Notify when a launch goes wrong"), launches);
    NotifyCheck->setObjectName(QStringLiteral("NotifyCheck"));
    NotifyCheck->setToolTip(
        QStringLiteral("A desktop notification when a launch that shows no window (the "
                       "countdown at logon, a desktop shortcut, a script) could not start "
                       "every application. A click on it shows the report."));
    launchesLayout->addWidget(NotifyCheck);
    outer->addWidget(launches);

    const DialogButtons buttons =
        MakeDialogButtons(this, QStringLiteral("&Save options"), "Button1", "Button2");
    Button1 = buttons.confirm;
    Button2 = buttons.cancel;
    outer->addLayout(buttons.row);
    FixDialogSize(this, QSize(293, 350));

    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
    connect(DefaultStartCheck, &QCheckBox::clicked, this, [this] { DefaultStartCheckClick(); });
    // Only a default the user picks is written: one shown as none because it
    // is gone stays as it is, never replaced by a batch nobody chose.
    connect(BatchCombo, qOverload<int>(&QComboBox::activated), this, [this] { chosen_ = true; });
    connect(TransCheck, &QCheckBox::clicked, this, [this] { TransCheckClick(); });
}

void TOptionsForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    Guarded(this, [this] { FormShow(); });
}

void TOptionsForm::FormShow() {
    {
        TIniFile layout(files_.layoutFile);
        TransCheck->setChecked(layout.ReadFlag(kLayoutSection, "Form2.AlphaBlend", false));
        TransVal->setValue(layout.ReadNumber(kLayoutSection, "Form2.AlphaBlendValue", 255));
    }
    StartupCheck->setChecked(SameAutostartCommand(shell::ReadAutostartCommand(),
                                                  shell::AutostartCommandFor(files_.executable)));
    BatchCombo->clear();
    chosen_ = false;
    shown_ = batches_ ? batches_() : std::vector<BatchRef>{};
    std::vector<std::string> captions;
    for (const BatchRef& batch : shown_) {
        captions.push_back(batch.name);
        BatchCombo->addItem(QString::fromStdString(batch.name));
    }
    // A default batch that is no longer there is shown as none, so it is
    // never saved as another batch the user did not choose.
    BatchCombo->setCurrentIndex(captions.empty() ? -1
                                                 : FindDefaultBatch(files_.settings, captions));
    DefaultStartCheck->setChecked(
        files_.settings.ReadFlag(kSettingsSection, "DefaultStart", false));
    const auto ms = DayFractionToMilliseconds(
        files_.settings.ReadClockTime(kSettingsSection, "DefaultStartInterval", 0.0));
    DefaultStartInterval->setTime(QTime::fromMSecsSinceStartOfDay(static_cast<int>(ms)));
    NotifyCheck->setChecked(files_.settings.ReadFlag(kSettingsSection, kNotifyKey, true));
    DefaultStartCheckClick();
    TransCheckClick();
}

void TOptionsForm::Button1Click() {
    const bool saved = Guarded(this, [this] {
        {
            TIniFile layout(files_.layoutFile);
            layout.WriteFlag(kLayoutSection, "Form2.AlphaBlend", TransCheck->isChecked());
            layout.WriteNumber(kLayoutSection, "Form2.AlphaBlendValue", TransVal->value());
        }
        if (StartupCheck->isChecked()) {
            if (!shell::WriteAutostartCommand(shell::AutostartCommandFor(files_.executable))) {
                // Stops here: the settings below stay as they were.
                throw Error("Failed to set data for 'Korvane'");
            }
        } else if (!shell::RemoveAutostart()) {
            // Said, and stopped here, as a failed write is.
            throw Error("Unable to remove " + utf8::FromPath(shell::AutostartFile()));
        }
        if (const int chosen = BatchCombo->currentIndex();
            chosen_ && chosen >= 0 && chosen < static_cast<int>(shown_.size())) {
            // Refused when the batch went while the dialog was open.
            SetDefaultBatch(files_, shown_[static_cast<std::size_t>(chosen)]);
        }
        files_.settings.WriteFlag(kSettingsSection, "DefaultStart", DefaultStartCheck->isChecked());
        files_.settings.WriteClockTime(
            kSettingsSection, "DefaultStartInterval",
            MillisecondsToDayFraction(DefaultStartInterval->time().msecsSinceStartOfDay()));
        files_.settings.WriteFlag(kSettingsSection, kNotifyKey, NotifyCheck->isChecked());
    });
    if (saved) {
        accept();
    }
}

void TOptionsForm::DefaultStartCheckClick() {
    DefaultStartInterval->setEnabled(DefaultStartCheck->isChecked());
    Label1->setEnabled(DefaultStartCheck->isChecked());
}

void TOptionsForm::TransCheckClick() {
    TransVal->setEnabled(TransCheck->isChecked());
}

} // namespace korvane

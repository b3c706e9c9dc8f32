#include "editor/interval_dialog.h"

#include "shell/icons.h"
#include "shell/shell.h"
#include "store/clock_time.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTime>
#include <QTimeEdit>
#include <QVBoxLayout>

namespace korvane {

TForm3::TForm3(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Interval"));
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    auto* label = new QLabel(QStringLiteral("Time:"), this);
    DateTimePicker1 = new QTimeEdit(this);
    DateTimePicker1->setObjectName(QStringLiteral("DateTimePicker1"));
    DateTimePicker1->setDisplayFormat(QStringLiteral("H:mm:ss"));
    row->addWidget(label);
    row->addWidget(DateTimePicker1, 1);
    layout->addLayout(row);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("OKButton"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("CancelButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(195, 121);
}

double TForm3::Time() const {
    return MillisecondsToDayFraction(DateTimePicker1->time().msecsSinceStartOfDay());
}

void TForm3::SetTime(double dayFraction) {
    DateTimePicker1->setTime(
        QTime::fromMSecsSinceStartOfDay(static_cast<int>(DayFractionToMilliseconds(dayFraction))));
}

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("About"));
    auto* layout = new QVBoxLayout(this);
    auto* group = new QGroupBox(this);
    group->setObjectName(QStringLiteral("GroupBox2"));
    auto* inner = new QVBoxLayout(group);
    auto* title = new QHBoxLayout;
    auto* image = new QLabel(group);
    image->setObjectName(QStringLiteral("Image1"));
    image->setPixmap(ProductIcon().pixmap(32, 32));
    auto* name = new QLabel(QStringLiteral("Korvane"), group);
    name->setObjectName(QStringLiteral("Label5"));
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(16);
    font.setBold(true);
    font.setItalic(true);
    name->setFont(font);
    name->setForegroundRole(QPalette::Dark);
    title->addWidget(image);
    title->addWidget(name, 1);
    inner->addLayout(title);
    auto* version = new QLabel(
        QStringLiteral("Version ") + QString::fromStdString(shell::VersionText(7)), group);
    version->setObjectName(QStringLiteral("VersionLabel"));
    version->setAlignment(Qt::AlignCenter);
    inner->addWidget(version);
    auto* notice = new QLabel(QStringLiteral("Starts your programs in order."), group);
    notice->setObjectName(QStringLiteral("Label1"));
    notice->setAlignment(Qt::AlignCenter);
    inner->addWidget(notice);
    // A rich-text link: hover shows the hand and the underline, a click opens
    // the address with the user's browser.
    auto* link = new QLabel(QStringLiteral("<a href=\"%1\" style=\"color:blue\">%1</a>")
                                .arg(QString::fromLatin1(kWebAddress)),
                            group);
    link->setObjectName(QStringLiteral("Label4"));
    link->setAlignment(Qt::AlignCenter);
    link->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
    connect(link, &QLabel::linkActivated, this, [](const QString& address) {
        shell::ShellOpen(address.toStdString(), "", "", shell::SW_SHOWNORMAL);
    });
    inner->addWidget(link);
    layout->addWidget(group);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("OKButton"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    layout->addWidget(ok, 0, Qt::AlignCenter);
    setFixedSize(sizeHint());
}

} // namespace korvane

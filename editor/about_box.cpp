#include "editor/about_box.h"

#include "gui/dialog_frame.h"
#include "gui/icons.h"
#include "gui/product_title.h"
#include "shell/shell.h"
#include "shell/version.h"

#include <QEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace korvane {

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
    auto* name = MakeProductTitle(group);
    name->setObjectName(QStringLiteral("Label5"));
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
    // A web link: blue, underlined only while the mouse is over it; a click
    // opens the address with the user's browser.
    link_ = new QLabel(group);
    link_->setObjectName(QStringLiteral("Label4"));
    link_->setAlignment(Qt::AlignCenter);
    link_->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
    link_->setCursor(Qt::PointingHandCursor);
    link_->installEventFilter(this);
    ShowLink(false);
    connect(link_, &QLabel::linkActivated, this,
            [](const QString& address) { shell::ShellOpen(address.toStdString(), "", ""); });
    auto* link = link_;
    inner->addWidget(link);
    layout->addWidget(group);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("OKButton"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    layout->addWidget(ok, 0, Qt::AlignCenter);
    FixDialogSize(this);
}

void TAboutBox::ShowLink(bool hovered) {
    const QString address = QString::fromLatin1(version::kHomePage);
    link_->setText(QStringLiteral("<a href=\"%1\" style=\"color:blue; text-decoration:%2\">%1</a>")
                       .arg(address.toHtmlEscaped(),
                            hovered ? QStringLiteral("underline") : QStringLiteral("none")));
}

bool TAboutBox::eventFilter(QObject* watched, QEvent* event) {
    if (watched == link_ && (event->type() == QEvent::Enter || event->type() == QEvent::Leave)) {
        ShowLink(event->type() == QEvent::Enter);
    }
    return QDialog::eventFilter(watched, event);
}

void TAboutBox::setVisible(bool visible) {
    // Centred on the screen, not on the editor.
    if (visible && !isVisible()) {
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            QRect r(QPoint(0, 0), size());
            r.moveCenter(screen->availableGeometry().center());
            move(r.topLeft());
        }
    }
    QDialog::setVisible(visible);
}

} // namespace korvane

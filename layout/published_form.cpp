#include "layout/published_form.h"

#include <QGuiApplication>
#include <QScreen>

namespace korvane {

TPublishedForm::TPublishedForm(QWidget* parent, Qt::WindowFlags flags) : QWidget(parent, flags) {}

void TPublishedForm::SetWidth(int v) {
    const int frame = frameGeometry().width() - width();
    if (SaneSize(v - frame)) {
        resize(v - frame, height());
    }
}

void TPublishedForm::SetHeight(int v) {
    const int frame = frameGeometry().height() - height();
    if (SaneSize(v - frame)) {
        resize(width(), v - frame);
    }
}

void TPublishedForm::SetClientWidth(int v) {
    if (SaneSize(v)) {
        resize(v, height());
    }
}

void TPublishedForm::SetClientHeight(int v) {
    if (SaneSize(v)) {
        resize(width(), v);
    }
}

void TPublishedForm::SetCursor(int v) {
    if (v >= Qt::ArrowCursor && v <= Qt::LastCursor) {
        setCursor(static_cast<Qt::CursorShape>(v));
    }
}

void TPublishedForm::SetAlphaBlend(bool v) {
    alphaBlend_ = v;
    ApplyOpacity();
}

void TPublishedForm::SetAlphaBlendValue(int v) {
    if (v >= 0 && v <= 255) {
        alphaBlendValue_ = v;
        ApplyOpacity();
    }
}

void TPublishedForm::ApplyOpacity() {
    setWindowOpacity(alphaBlend_ ? alphaBlendValue_ / 255.0 : 1.0);
}

TPublishedForm::TWindowState TPublishedForm::WindowState() const {
    if (windowState() & Qt::WindowMinimized) {
        return wsMinimized;
    }
    if (windowState() & Qt::WindowMaximized) {
        return wsMaximized;
    }
    return wsNormal;
}

void TPublishedForm::SetWindowState(TWindowState v) {
    Qt::WindowStates s = windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized);
    if (v == wsMinimized) {
        s |= Qt::WindowMinimized;
    } else if (v == wsMaximized) {
        s |= Qt::WindowMaximized;
    }
    setWindowState(s);
}

void TPublishedForm::KeepOnScreen() {
    const QRect frame = frameGeometry();
    for (const QScreen* screen : QGuiApplication::screens()) {
        if (screen->availableGeometry().intersects(frame)) {
            return;
        }
    }
    if (const QScreen* primary = QGuiApplication::primaryScreen()) {
        QRect r = frame;
        r.moveCenter(primary->availableGeometry().center());
        move(r.topLeft());
    }
}

namespace {

std::optional<bool>& PositionsReportedOverride() {
    static std::optional<bool> value;
    return value;
}

} // namespace

bool TPublishedForm::PositionsReported() {
    if (PositionsReportedOverride()) {
        return *PositionsReportedOverride();
    }
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

void TPublishedForm::SetPositionsReportedForTest(std::optional<bool> reported) {
    PositionsReportedOverride() = reported;
}

void TPublishedForm::setVisible(bool visible) {
    // A centring placement applies once, before the window is mapped: a move
    // while it is being shown races the window manager, and Qt may then keep
    // a wrong idea of where the window is. From then on the window keeps its
    // bounds, and that is what the layout file stores.
    if (visible && !isVisible() &&
        (position_ == poScreenCenter || position_ == poDesktopCenter ||
         position_ == poMainFormCenter || position_ == poOwnerFormCenter)) {
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            QRect r = frameGeometry();
            r.moveCenter(screen->availableGeometry().center());
            move(r.topLeft());
        }
        position_ = poDesigned;
    }
    if (visible && !placedSet_) {
        // What a layout saved where positions are not reported keeps.
        placed_ = pos();
    }
    placedSet_ = placedSet_ || visible;
    QWidget::setVisible(visible);
}

} // namespace korvane

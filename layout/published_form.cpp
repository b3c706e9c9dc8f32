#include "layout/published_form.h"

#include <algorithm>

#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

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
    // Minimised keeps the state it was minimised from (maximised or not).
    return windowState() & Qt::WindowMaximized ? wsMaximized : wsNormal;
}

void TPublishedForm::SetWindowState(TWindowState v) {
    if (v == wsMinimized && isWindow()) {
        return;
    }
    Qt::WindowStates s = windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized);
    if (v == wsMinimized) {
        s |= Qt::WindowMinimized;
    } else if (v == wsMaximized) {
        s |= Qt::WindowMaximized;
    }
    setWindowState(s);
}

void TPublishedForm::KeepOnScreen() {
    QRect frame = frameGeometry();
    if (isVisible() && frame == geometry()) {
        // A title bar may still come, told by the window manager with no
        // event of its own: looked for every 50 ms for ten seconds (where
        // none comes, a frameless window or Wayland, the looking ends).
        if (!framePoll_) {
            framePoll_ = new QTimer(this);
            framePoll_->setInterval(50);
            connect(framePoll_, &QTimer::timeout, this, [this] {
                if (frameGeometry() != geometry()) {
                    framePoll_->stop();
                    KeepOnScreen();
                } else if (--framePollsLeft_ <= 0) {
                    framePoll_->stop();
                }
            });
        }
        framePollsLeft_ = 200;
        framePoll_->start();
    }
    // The screen the window is mostly on, else the primary one.
    const QScreen* target = nullptr;
    int best = 0;
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect common = screen->availableGeometry().intersected(frame);
        if (common.width() * common.height() > best) {
            best = common.width() * common.height();
            target = screen;
        }
    }
    if (!target) {
        target = QGuiApplication::primaryScreen();
    }
    if (!target) {
        return;
    }
    const QRect available = target->availableGeometry();
    // A size saved on a larger screen (or written by hand) is cut to this
    // one, so that the header, the buttons and the rows can be reached.
    const int extraWidth = frame.width() - width();
    const int extraHeight = frame.height() - height();
    if (frame.width() > available.width() || frame.height() > available.height()) {
        resize(std::min(width(), std::max(1, available.width() - extraWidth)),
               std::min(height(), std::max(1, available.height() - extraHeight)));
        frame = frameGeometry();
    }
    // Then moved wholly onto it: its header (title bar, or the menu's drag
    // header) is always where a pointer can take it.
    const int x = std::clamp(frame.x(), available.left(), available.right() - frame.width() + 1);
    const int y = std::clamp(frame.y(), available.top(), available.bottom() - frame.height() + 1);
    if (x != frame.x() || y != frame.y()) {
        move(pos() + QPoint(x - frame.x(), y - frame.y()));
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
